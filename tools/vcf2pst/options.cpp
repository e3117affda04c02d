#include "options.h"

#include <QTimeZone>

#include "vcard/legacy_charset.h"

namespace vcf2pst {

const char* const kVersion = "4.01";

const char* const kUsage =
    "Usage: zentra-vcf2pst [-o FILE.pst | -d DIR] [--relative] [--quiet] SOURCE...\n"
    "Imports vCard files into a new Outlook personal folders file (.pst).\n"
    "\n"
    "  SOURCE          a vCard file (any name), or a folder whose whole tree is searched\n"
    "                  for files ending in \".vcf\"\n"
    "  -o FILE.pst     write exactly this file (never overwritten); the store is named\n"
    "                  after the file\n"
    "  -d DIR          write ZentraContacts<d.m.YY H.m.ss>.pst in DIR (default: the\n"
    "                  current folder)\n"
    "  --relative      mirror the folders below each SOURCE folder instead of the full\n"
    "                  folder path\n"
    "  --legacy-charset NAME\n"
    "                  read 8-bit text that is not UTF-8 and names no charset as NAME\n"
    "                  (an 8-bit charset iconv knows, e.g. CP1250; default WINDOWS-1252)\n"
    "  --time-zone NAME\n"
    "                  store birthdays and anniversaries for Outlook in this time zone\n"
    "                  (an IANA name, e.g. America/Los_Angeles; default: this machine's)\n"
    "  --quiet         no progress bar and no summary\n"
    "  --verbose       print every warning on standard error as it comes (the report\n"
    "                  beside the .pst lists them all anyway)\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "\n"
    "Exit status: 0 every file imported; 1 some files failed (the .pst is still written);\n"
    "2 usage error, or no store could be created.\n"
    "A report of the run (every warning, every file not imported and why) is written beside\n"
    "the .pst, with the same name and \".txt\".\n"
    "Ctrl+C stops after the current contact and leaves a valid store (a file cut short is\n"
    "named in the summary); a second Ctrl+C stops at once, leaving the store as its last\n"
    "periodic save wrote it.\n";

ParseResult parseOptions(const QStringList& args) {
    Options o;
    bool onlySources = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (onlySources || a == "-" || !a.startsWith('-')) {
            o.sources << a;
        } else if (a == "--") {
            onlySources = true;
        } else if (a == "-o" || a == "-d") {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) return {std::nullopt, a + " needs an argument"};
            (a == "-o" ? o.outputFile : o.outputDir) = args[++i];
        } else if (a == "--legacy-charset") {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) return {std::nullopt, a + " needs an argument"};
            o.legacyCharset = args[++i];
            if (!vcard::isUsableLegacyCharset(o.legacyCharset.toStdString()))
                return {std::nullopt, "--legacy-charset: " + o.legacyCharset +
                                          " is not an 8-bit charset this system knows (e.g. CP1250, ISO-8859-2)"};
        } else if (a == "--time-zone") {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) return {std::nullopt, a + " needs an argument"};
            o.timeZone = args[++i].toUtf8();
            if (!QTimeZone::isTimeZoneIdAvailable(o.timeZone))
                return {std::nullopt, "--time-zone: " + args[i] +
                                          " is not a time zone this system knows (an IANA name, e.g. America/Los_Angeles)"};
        } else if (a == "--relative") {
            o.relative = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--verbose" || a == "-v") {
            o.verbose = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else {
            return {std::nullopt, "unknown option " + a};
        }
    }
    if (o.help || o.version) return {o, {}};
    if (!o.outputFile.isEmpty() && !o.outputDir.isEmpty()) return {std::nullopt, "-o and -d cannot be used together"};
    if (o.sources.isEmpty()) return {std::nullopt, "no SOURCE given"};
    return {o, {}};
}

}  // namespace vcf2pst
