#pragma once
// The command line of zentra-vcf2pst:
//   zentra-vcf2pst [-o FILE.pst | -d DIR] [--relative] [--quiet] SOURCE...  (and --legacy-charset NAME, --time-zone NAME)
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace vcf2pst {

struct Options {
    QString outputFile;     // -o: exactly this file, display name = its base name
    QString outputDir;      // -d: the time-stamped name in this folder (default: current folder)
    bool relative = false;  // mirror folders below each SOURCE folder instead of below the root
    QString legacyCharset;  // --legacy-charset: for 8-bit text that is not UTF-8 (empty: WINDOWS-1252)
    QByteArray timeZone;    // --time-zone: an IANA name QTimeZone knows (empty: the machine's zone)
    bool quiet = false;
    bool verbose = false;   // every warning on standard error as it comes
    bool help = false;
    bool version = false;
    QStringList sources;
};

struct ParseResult {
    std::optional<Options> options;
    QString error;          // set when the command line is not usable
};

ParseResult parseOptions(const QStringList& args);   // args without the program name

extern const char* const kUsage;
extern const char* const kVersion;

}  // namespace vcf2pst
