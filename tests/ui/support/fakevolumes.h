#pragma once
// A volume list that the test sets: cards are "attached" and "detached" by editing `list`.

#include "core/sources/volumes.h"

#include <vector>

namespace kps::test {

class FakeVolumes : public VolumeSource {
  public:
    std::vector<Volume> list; // in drive-letter order: the first is A
    int reads = 0;            // how often the program asked for the list

    std::vector<Volume> volumes() override {
        ++reads;
        return list;
    }
};

} // namespace kps::test
