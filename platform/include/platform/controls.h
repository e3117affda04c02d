#pragma once
// The few members of the window's controls that commands use. The window adapts its Qt
// widgets to these; the command-line importer and the tests supply their own.
#include <QString>
#include <string>
#include <string_view>

#include "zentra/path_list.h"

namespace platform {

class TextControl {          // a label's or frame's caption
public:
    virtual ~TextControl() = default;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& text) = 0;
};

class EnabledControl {       // a command button's enabled state
public:
    virtual ~EnabledControl() = default;
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool on) = 0;
};

class ProgressControl {      // Min, Max and Value as single-precision values
public:
    virtual ~ProgressControl() = default;
    virtual float min() const = 0;
    virtual void setMin(float v) = 0;
    virtual float max() const = 0;
    virtual void setMax(float v) = 0;
    virtual float value() const = 0;
    virtual void setValue(float v) = 0;
};

// The flexible grid's members: one current cell addressed by Row and Col; widths in twips.
// A cell holds bytes: the file list keeps each path exactly as the file system names it,
// which need not be valid UTF-8. path() gives those bytes back; text() shows them readably
// (zentra::readablePath: what is not printable UTF-8 as \xNN), so two different names never
// look alike on screen. A cell set through setText holds its text's UTF-8.
class FlexGrid {
public:
    virtual ~FlexGrid() = default;
    virtual int rows() const = 0;
    virtual void setRows(int n) = 0;         // raising appends empty rows
    virtual int cols() const = 0;
    virtual void setCols(int n) = 0;
    virtual int fixedRows() const = 0;
    virtual void setFixedRows(int n) = 0;
    virtual int colWidth(int col) const = 0;
    virtual void setColWidth(int col, int twips) = 0;
    virtual int row() const = 0;
    virtual void setRow(int r) = 0;
    virtual int col() const = 0;
    virtual void setCol(int c) = 0;
    virtual QString text() const;            // current cell, readable form of path()
    virtual void setText(const QString& t);  // setPath with the text's UTF-8
    virtual std::string path() const = 0;    // current cell, exact bytes
    virtual void setPath(std::string_view bytes) = 0;
    virtual void clear() = 0;                // empties every cell, keeps rows and columns
    // The exact bytes of a column's cells row by row, without copying them (see GridCells::column).
    virtual zentra::PathSequence pathColumn(int col) const = 0;
};

// Cell bytes as the grids show them: zentra::readablePath, as text.
QString readableText(std::string_view bytes);

constexpr int kTwipsPerPixel = 15;

}  // namespace platform
