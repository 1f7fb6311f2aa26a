#pragma once
// Every step a drop takes on disk, behind one interface so that tests can make any step fail.

#include <QString>

namespace kps {

class FileOps {
  public:
    virtual ~FileOps() = default;

    // Something (file, folder or link) stands at path.
    virtual bool exists(const QString& path) = 0;
    // Both names lead to the same file on disk (same device and inode).
    virtual bool sameFile(const QString& a, const QString& b) = 0;
    // Both are regular files with the same content.
    virtual bool sameBytes(const QString& a, const QString& b) = 0;
    // The file and the folder lie on one file system, so a rename can move the file there.
    virtual bool sameFileSystem(const QString& file, const QString& folder) = 0;
    // Creates tmp, which must not exist, with from's data and modification time.
    virtual bool copyToTemp(const QString& from, const QString& tmp) = 0;
    // Forces a file's data, or a folder's entries, onto the disk.
    virtual bool flush(const QString& path) = 0;
    // The copy tmp has from's size.
    virtual bool verify(const QString& from, const QString& tmp) = 0;
    // Renames from to to, failing rather than replacing anything at to.
    virtual bool renameNoReplace(const QString& from, const QString& to) = 0;
    // Deletes a file; never a folder.
    virtual bool remove(const QString& path) = 0;
};

// The local file system.
class RealFileOps : public FileOps {
  public:
    bool exists(const QString& path) override;
    bool sameFile(const QString& a, const QString& b) override;
    bool sameBytes(const QString& a, const QString& b) override;
    bool sameFileSystem(const QString& file, const QString& folder) override;
    bool copyToTemp(const QString& from, const QString& tmp) override;
    bool flush(const QString& path) override;
    bool verify(const QString& from, const QString& tmp) override;
    bool renameNoReplace(const QString& from, const QString& to) override;
    bool remove(const QString& path) override;
};

// Copies from to to without ever showing a half-written file under to's name: the data goes
// to a temporary name in to's folder, is flushed and verified, and is then renamed into place
// without replacing anything. On failure nothing is left behind and to is untouched.
bool safeCopy(FileOps& ops, const QString& from, const QString& to);

} // namespace kps
