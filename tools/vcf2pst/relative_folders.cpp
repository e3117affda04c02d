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
    const QString dir = QFileInfo(cellText).absolutePath();
    if (lastRun_ == &run && dir == lastDir_) return lastFolder_;
    // Every component is made a store folder name: a "\\" inside a source name never splits it.
    lastFolder_ = importrun::StoreFolderPath(run.base.relativeFilePath(dir).split(u'/'));
    lastDir_ = dir;
    lastRun_ = &run;
    return lastFolder_;
}

}  // namespace vcf2pst
