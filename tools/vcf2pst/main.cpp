#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "vcf2pst.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zentra-vcf2pst");
    QCoreApplication::setApplicationVersion("4.01");
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return vcf2pst::run(args, stdout, stderr);
}
