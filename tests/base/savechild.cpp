// A child process for the crash tests: builds a base of N points, says
// "ready" on stdout, then saves it over the given file. With a third
// argument, the process may not write files larger than that many bytes,
// so the save fails part way through like a full disk.
#include "basefile.h"
#include "failure.h"
#include "pointtable.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    QCoreApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int records = std::atoi(argv[2]);
    kelvora::PointTable table(QStringLiteral("PointTable"));
    table.open();
    table.holdNotifications();
    for (int i = 0; i < records; ++i) {
        table.append();
        table.fieldByName(u"X").setAsInteger(i);
        table.fieldByName(u"Y").setAsInteger(-i);
        table.fieldByName(u"NAME_EN").setAsString(QStringLiteral("Point number %1").arg(i));
        table.post();
    }
    table.releaseNotifications();
    if (argc > 3) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = rlim_t(std::atoll(argv[3]));
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    try {
        kelvora::saveToFile(table, path, kelvora::BaseFileFormat());
    } catch (const kelvora::Failure& failure) {
        std::fprintf(stderr, "%s\n", failure.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
