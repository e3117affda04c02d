#pragma once
#include <QStringList>
#include <cstdio>

namespace vcf2pst {

enum ExitStatus { kAllImported = 0, kSomeFailed = 1, kUsageOrNoStore = 2 };

// The whole program: lists the SOURCEs as the window's add commands would, runs the window's
// import run on console stand-ins for its widgets and dialogs, and prints a summary.
int run(const QStringList& args, std::FILE* out, std::FILE* err);

}  // namespace vcf2pst
