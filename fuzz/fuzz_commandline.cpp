// The command-line reader on arbitrary arguments: a file manager or a script may pass any
// bytes. The parts of the input separated by NUL bytes are the arguments.

#include "core/files/nativepath.h"
#include "core/sources/commandline.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QStringList args;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& arg : input.split('\0')) {
        args << kps::pathFromNative(arg);
        if (kps::nativePath(args.back()) != arg) std::abort(); // every argument keeps its bytes
    }
    const kps::CommandLine line = kps::parseCommandLine(args, QStringLiteral("/"));

    // Only a clean start names a folder; a folder ends in "/" and holds the photo it names.
    const bool names = !line.folder.isEmpty() || !line.photo.isEmpty();
    if (names && (line.action != kps::StartAction::Run || !line.error.isEmpty())) std::abort();
    if (!line.folder.isEmpty() && !line.folder.endsWith(QLatin1Char('/'))) std::abort();
    if (!line.photo.isEmpty() && !line.photo.startsWith(line.folder)) std::abort();
    qsizetype meaningful = 0;
    for (const QString& arg : args)
        meaningful += !arg.isEmpty() && arg != QStringLiteral("--");
    // An argument is either answered, or used, or refused with a message.
    if (line.action == kps::StartAction::Run && !names && line.error.isEmpty() && meaningful > 0)
        std::abort();
    return 0;
}
