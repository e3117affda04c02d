#include "relative_folders.h"

#include <QFileInfo>
#include <algorithm>

#include "import/source_folder.h"

namespace vcf2pst {

void RelativeFolders::addFolderSource(const QString& sourceFolder, int firstRow) {
    runs_.push_back({firstRow, QFileInfo(QDir::cleanPath(sourceFolder)).dir()});
    lastRun_ = nullptr;
}

void RelativeFolders::addFileSource(const QString& sourceFile, int row) {
    QDir base = QFileInfo(sourceFile).dir();
    base.cdUp();
    runs_.push_back({row, base});
    lastRun_ = nullptr;
}

QString RelativeFolders::folderOf(int row, const QString& cellText) const {
    auto after = std::upper_bound(runs_.begin(), runs_.end(), row, [](int r, const Run& run) { return r < run.firstRow; });
    if (after == runs_.begin()) return QString();
    const Run& run = *(after - 1);
    // The text up to the file name decides the answer: compared as it is, it spares the path
    // arithmetic for every file of a folder but the first.
    const QStringView dir = QStringView(cellText).left(std::max<qsizetype>(cellText.lastIndexOf(u'/'), 0));
    if (lastRun_ == &run && dir == lastDir_) return lastFolder_;
    // Every component is made a store folder name: a "\\" inside a source name never splits it.
    const QString folder = run.base.relativeFilePath(QFileInfo(cellText).absolutePath());
    lastFolder_ = importrun::StoreFolderPath(folder.split(u'/'));
    lastDir_ = dir.toString();
    lastRun_ = &run;
    return lastFolder_;
}

}  // namespace vcf2pst
