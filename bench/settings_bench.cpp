// Opens the launch table's key/value editor offscreen on a short and a very long table and measures
// the time from construction to the first painted frame, and the peak memory afterwards.
#include "toolkit/value_list_editor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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

std::vector<std::string> table(int count)
{
    std::vector<std::string> lines = DefaultLaunchTable();
    lines.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        if (lines[static_cast<std::size_t>(i)].empty())
            lines[static_cast<std::size_t>(i)] =
                "Button" + std::to_string(i) + "=C:\\Programme\\app" + std::to_string(i) + ".exe";
    return lines;
}

double openOnce(const std::vector<std::string>& lines)
{
    QElapsedTimer timer;
    timer.start();
    TValueListEditor editor;
    editor.Strings().Assign(lines);
    PaintWatch watch;
    editor.viewport()->installEventFilter(&watch);
    editor.resize(517, 321);
    editor.show();
    while (!watch.painted)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    editor.viewport()->removeEventFilter(&watch);
    return ms;
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    double result[2] = {0, 0};
    const int sizes[2] = {26, 100000};
    for (int k = 0; k < 2; ++k) {
        const std::vector<std::string> lines = table(sizes[k]);
        std::vector<double> times;
        for (int run = 0; run < 7; ++run)
            times.push_back(openOnce(lines));
        result[k] = median(times);
        std::printf("lines=%d median_first_frame_ms=%.2f min_ms=%.2f max_ms=%.2f peak_rss_kb=%ld\n", sizes[k],
                    result[k], *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()), peakKb());
    }
    std::printf("RESULT open_100k_ms=%.2f open_26_ms=%.2f\n", result[1], result[0]);
    return 0;
}
