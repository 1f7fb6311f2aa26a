#pragma once
// Every step a drop takes on disk, behind one interface so that tests can make any step fail.

#include <QString>

struct timespec;

namespace kps {

// How a rename ended. A network file system can report a rename as failed after it took
// effect, so the caller looks at the disk after Failed before it undoes anything.
enum class RenameResult {
    Done,
    Failed,
    CrossDevice, // this file system cannot rename between the two folders: copy instead
};

class FileOps {
  public:
    virtual ~FileOps() = default;

    // Something (file, folder or link) stands at path.
    virtual bool exists(const QString& path) = 0;
    // The name is a symbolic link (whatever it points at).
    virtual bool isLink(const QString& path) = 0;
    // Both names lead to the same file on disk (same device and inode).
    virtual bool sameFile(const QString& a, const QString& b) = 0;
    // Both are regular files with the same content.
    virtual bool sameBytes(const QString& a, const QString& b) = 0;
    // The file and the folder lie on one file system, so a rename can move the file there.
    virtual bool sameFileSystem(const QString& file, const QString& folder) = 0;
    // Creates one folder level; true when the folder exists afterwards.
    virtual bool makeFolder(const QString& path) = 0;
    // Creates tmp, which must not exist, with from's data and (where the file system allows it)
    // modification time.
    virtual bool copyToTemp(const QString& from, const QString& tmp) = 0;
    // Forces a file's data, or a folder's entries, onto the disk.
    virtual bool flush(const QString& path) = 0;
    // The copy tmp has from's size.
    virtual bool verify(const QString& from, const QString& tmp) = 0;
    // Renames from to to, failing rather than replacing anything at to.
    virtual RenameResult renameNoReplace(const QString& from, const QString& to) = 0;
    // Deletes a file; never a folder.
    virtual bool remove(const QString& path) = 0;
};

// The local file system.
class RealFileOps : public FileOps {
  public:
    bool exists(const QString& path) override;
    bool isLink(const QString& path) override;
    bool sameFile(const QString& a, const QString& b) override;
    bool sameBytes(const QString& a, const QString& b) override;
    bool sameFileSystem(const QString& file, const QString& folder) override;
    bool makeFolder(const QString& path) override;
    bool copyToTemp(const QString& from, const QString& tmp) override;
    bool flush(const QString& path) override;
    bool verify(const QString& from, const QString& tmp) override;
    RenameResult renameNoReplace(const QString& from, const QString& to) override;
    bool remove(const QString& path) override;

  protected:
    // The system calls that a rename and a copy's date are made of, each giving 0 or an errno
    // value, so that tests can play file systems that refuse or half-do them.
    virtual int renameNoReplaceCall(const char* from, const char* to);
    virtual int linkCall(const char* from, const char* to);
    virtual int unlinkCall(const char* path);
    virtual int renameCall(const char* from, const char* to);
    virtual int setTimesCall(int fd, const struct timespec* times);

  private:
    RenameResult dropOldName(const QByteArray& f, const QByteArray& t);
};

// The mount a file or folder lies on (a bind mount is a mount of its own), or 0 when it cannot
// be told. Two places with one nonzero mount let a rename move a photo between them.
quint64 mountOf(const QString& path);

// How safeCopy ended.
enum class CopyResult {
    Done,       // to holds the photo, flushed and verified
    Taken,      // something already stood at to; nothing was written
    Failed,     // no copy was made, and nothing of it is left
    LeftBehind, // a copy stands at to but could not be confirmed on disk; it is no holder
};

// Copies from to to without ever showing a half-written file under to's name: the data goes
// to a temporary name in to's folder, is flushed and verified, and is then renamed into place
// without replacing anything. A step that reports failure is checked on disk before anything
// is undone.
CopyResult safeCopy(FileOps& ops, const QString& from, const QString& to);

// The hidden temporary name a copy to `to` is written under: "." + name + "." + hex + ".part".
QString copyTempName(const QString& to, quint32 salt);

} // namespace kps
