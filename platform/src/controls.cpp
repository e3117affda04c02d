#include "platform/controls.h"

#include "zentra/path_list.h"

namespace platform {

QString readableText(std::string_view bytes) { return QString::fromStdString(zentra::readablePath(bytes)); }

QString FlexGrid::text() const { return readableText(path()); }

void FlexGrid::setText(const QString& t) {
    const QByteArray bytes = t.toUtf8();
    setPath(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace platform
