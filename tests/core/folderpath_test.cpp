#include "core/devicesearch.h"
#include "core/folderpath.h"
#include "core/wizardlogic.h"

#include <gtest/gtest.h>

namespace kps {
namespace {

TEST(FolderPath, EndsInTheSeparatorUnlessEmpty) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"/X/target", "/X/target/"},
                 {"/X/target/", "/X/target/"},
                 {"", ""},
                 {"/", "/"},
                 {"rel", "rel/"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(folderPath(QString::fromUtf8(c.in)), QString::fromUtf8(c.out));
    }
}

// Rows loaded into the slots: a path without its separator would send photos beside the folder.
TEST(FolderPath, RowsLoadIntoSlotsWithTheSeparator) {
    AppState st;
    std::array<QString, kLoadRows> names, paths;
    for (int row = 0; row < kLoadRows; ++row)
        paths[size_t(row)] = QStringLiteral("/X/row%1").arg(row + 1);
    paths[5] = QString(); // row 6, slot 3: no folder
    beallitasupdate(st, 1, names, paths);
    EXPECT_EQ(st.dirs[kSourceSlot], QStringLiteral("/X/row1/"));
    EXPECT_EQ(st.dirs[1], QStringLiteral("/X/row4/"));
    EXPECT_EQ(st.dirs[3], QString());
    EXPECT_EQ(st.dirs[kTrashSlot], QStringLiteral("/X/row11/"));
    EXPECT_EQ(pickedPathField(QString(), QStringLiteral("/X/picked")),
              QStringLiteral("/X/picked/"));
}

} // namespace
} // namespace kps
