// Opens the whole settings window offscreen on a launch table of 26 and one of 100,000 lines and
// measures the time from its construction (table assigned) to the first painted frame of the
// editor, and the peak memory. Each size runs in a fresh child process (this program started again
// with "--child"), so that the peak of the large table does not hide the small one. A second series
// opens the window with the table also stored in its INI file, which the window reads when it is
// shown, as the program does when the operator opens it.
#include "app/Einstellungen_Unit1.h"
#include "launch/default_launch_table.h"
#include "storage/form_storage.h"
#include "toolkit/application.h"
#include "toolkit/value_list_editor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QTableView>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 7;

class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// The standard table, then made-up entries up to `count` lines.
std::vector<std::string> table(int count)
{
    std::vector<std::string> lines = DefaultLaunchTable();
    lines.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string& line = lines[static_cast<std::size_t>(i)];
        if (line.empty())
            line = "Button" + std::to_string(i) + "=C:\\Programme\\app" + std::to_string(i) + ".exe [-m " +
                   std::to_string(i % 97) + "]";
    }
    return lines;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Construction with the table assigned, show, and the first painted frame of the editor.
double openOnce(const std::vector<std::string>& lines, const std::string& iniFile)
{
    QElapsedTimer timer;
    timer.start();
    auto form = std::make_unique<TEinstellungen_Form1>();
    form->FormStorage1->IniFileName = iniFile;
    form->Verknuepfungseditor->Strings().Assign(lines);
    PaintWatch watch;
    form->show(); // builds the grid; it paints on the next turns of the loop
    QWidget* cells = form->Verknuepfungseditor->findChild<QTableView*>(QStringLiteral("Grid"))->viewport();
    cells->installEventFilter(&watch);
    while (!watch.painted)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (form->Verknuepfungseditor->Strings().Count() != static_cast<int>(lines.size()))
        std::fprintf(stderr, "settings_bench: the window shows %d lines, not %zu\n",
                     form->Verknuepfungseditor->Strings().Count(), lines.size());
    cells->removeEventFilter(&watch);
    form->FormStorage1->Active = false; // nothing written back on the way out
    return ms;
}

// The offscreen platform warns on every shown window that it cannot pass size hints on; that says
// nothing about the window.
void quietOffscreenWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

// The child: one table size, both series; prints one line per series.
int runChild(int argc, char** argv, int count)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(quietOffscreenWarnings);
    TApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    const std::vector<std::string> lines = table(count);
    const std::string noIni = QDir(folder.path()).filePath(QStringLiteral("none/Ventiro.ini")).toStdString();
    const std::string storedIni = QDir(folder.path()).filePath(QStringLiteral("Ventiro.ini")).toStdString();

    std::vector<double> assigned;
    for (int run = 0; run < kRuns; ++run)
        assigned.push_back(openOnce(lines, noIni));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peakAssignedKb = usage.ru_maxrss;

    {
        TEinstellungen_Form1 writer;
        writer.FormStorage1->IniFileName = storedIni;
        writer.FormStorage1->LoadFromIni(); // nothing stored yet: the table stays
        writer.Verknuepfungseditor->Strings().Assign(lines);
        writer.FormStorage1->SaveToIni();
        writer.FormStorage1->Active = false;
    }
    std::error_code error;
    const auto iniBytes = std::filesystem::file_size(storedIni, error);
    if (error || iniBytes < static_cast<std::uintmax_t>(count) * 10) {
        std::fprintf(stderr, "settings_bench: the table was not stored in %s\n", storedIni.c_str());
        return 1;
    }
    std::vector<double> fromIni;
    for (int run = 0; run < kRuns; ++run)
        fromIni.push_back(openOnce(lines, storedIni));

    std::printf("lines=%d median_ms=%.2f min_ms=%.2f max_ms=%.2f peak_kb=%ld ini_median_ms=%.2f "
                "ini_min_ms=%.2f ini_max_ms=%.2f\n",
                count, median(assigned), *std::min_element(assigned.begin(), assigned.end()),
                *std::max_element(assigned.begin(), assigned.end()), peakAssignedKb, median(fromIni),
                *std::min_element(fromIni.begin(), fromIni.end()),
                *std::max_element(fromIni.begin(), fromIni.end()));
    return 0;
}

struct ChildResult
{
    bool ok = false;
    double ms = 0;
    double iniMs = 0;
    long peakKb = 0;        // after opening on the assigned table
    long peakWithIniKb = 0; // the whole child, the INI series included
};

// Runs this program again for one table size and reads its line back.
ChildResult runSize(int count)
{
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0)
        return result;
    const std::string countText = std::to_string(count);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        char self[] = "/proc/self/exe";
        char child[] = "--child";
        char* argv[] = {self, child, const_cast<char*>(countText.c_str()), nullptr};
        execv(self, argv);
        _exit(127);
    }
    close(fds[1]);
    std::string output;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return result;
    std::printf("%s", output.c_str());
    const char* median = std::strstr(output.c_str(), " median_ms=");
    const char* ini = std::strstr(output.c_str(), " ini_median_ms=");
    const char* peak = std::strstr(output.c_str(), " peak_kb=");
    if (median == nullptr || ini == nullptr || peak == nullptr)
        return result;
    result.peakKb = std::atol(peak + std::strlen(" peak_kb="));
    result.ms = std::atof(median + std::strlen(" median_ms="));
    result.iniMs = std::atof(ini + std::strlen(" ini_median_ms="));
    result.peakWithIniKb = usage.ru_maxrss;
    result.ok = true;
    return result;
}

double loadAverage()
{
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0;
        std::fclose(f);
    }
    return load;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, std::atoi(argv[2]));

    std::printf("load average before: %.2f\n", loadAverage());
    const ChildResult small = runSize(26);
    const ChildResult large = runSize(100000);
    std::printf("load average after: %.2f\n", loadAverage());
    if (!small.ok || !large.ok) {
        std::fprintf(stderr, "settings_bench: a child run failed\n");
        return 1;
    }
    std::printf("peak memory of the child: 26 lines %.1f MB, 100,000 lines %.1f MB\n", small.peakKb / 1024.0,
                large.peakKb / 1024.0);
    std::printf("with the table stored in the INI file: 26 lines %.2f ms, 100,000 lines %.2f ms; peak memory "
                "%.1f MB and %.1f MB\n",
                small.iniMs, large.iniMs, small.peakWithIniKb / 1024.0, large.peakWithIniKb / 1024.0);
    std::printf("RESULT open_100k_ms=%.2f open_26_ms=%.2f peak_100k_mb=%.1f peak_26_mb=%.1f\n", large.ms,
                small.ms, large.peakKb / 1024.0, small.peakKb / 1024.0);
    return 0;
}
