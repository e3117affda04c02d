#include "platform/controls.h"

#include <algorithm>

#include "zentra/path_list.h"

namespace platform {

// Most paths are printable ASCII, which reads as it is: the grid asks for every row it paints
// and the run for every file, so that case skips the byte-by-byte escaping.
QString readableText(std::string_view bytes) {
    const bool plain = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (plain) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromStdString(zentra::readablePath(bytes));
}

QString FlexGrid::text() const { return readableText(path()); }

void FlexGrid::setText(const QString& t) {
    const QByteArray bytes = t.toUtf8();
    setPath(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace platform
