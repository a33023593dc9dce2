// One full paint of the form view and one pointer move over the diagram.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "app/main_frame.h"
#include "view/tovask_view.h"

static void BM_FullPaint(benchmark::State& state)
{
    CMainFrame frame;
    frame.StartView(portKindUSB);
    CTovaskView& view = frame.View();
    QImage target(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        view.render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}
BENCHMARK(BM_FullPaint);

static void BM_MouseMove(benchmark::State& state)
{
    CMainFrame frame;
    frame.StartView(portKindUSB);
    CTovaskView& view = frame.View();
    int i = 0;
    for (auto _ : state) {
        const QPointF at(150 + (i++ % 2) * 100, 220);  // track 1 data, then its separator
        QMouseEvent e(QEvent::MouseMove, at, view.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &e);
    }
}
BENCHMARK(BM_MouseMove);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
