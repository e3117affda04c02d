#pragma once
// The store folder of each listed row when folders mirror below each SOURCE folder (--relative):
// the SOURCE folder's own name, then the path below it, joined with "\"; a SOURCE file goes
// into the folder named after the folder it lies in.
//
// Every SOURCE lists its files as one run of rows, so only where each run starts is kept, not
// an entry per file: a million listed files cost nothing here. Rows are asked for in list
// order and a folder's files sit together, so the last answer is kept and given again while the
// file's folder and run stay the same.
#include <QDir>
#include <QString>
#include <vector>

namespace vcf2pst {

class RelativeFolders {
public:
    // Rows from firstRow on (up to the next source's first row) were listed by the SOURCE
    // folder `sourceFolder`, or are the SOURCE file `sourceFile`.
    void addFolderSource(const QString& sourceFolder, int firstRow);
    void addFileSource(const QString& sourceFile, int row);

    // The store folder of a row whose cell reads cellText; empty for a row before every source.
    QString folderOf(int row, const QString& cellText) const;

private:
    struct Run {
        int firstRow;
        QDir base;   // the folder the store folder path is relative to
    };
    std::vector<Run> runs_;   // by ascending first row
    mutable const Run* lastRun_ = nullptr;
    mutable QString lastDir_, lastFolder_;
};

}  // namespace vcf2pst
