// Cost of the two paths that scale with the desktop: one snap decision as the
// focused window's children grow, and one tracker rebuild as the number of
// running applications grows. Both must stay linear.
#include "agent/snapping/AppTracker.h"
#include "agent/snapping/ButtonChooser.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

// A window with `children` plain children and the answering button last, no
// default button: the title search has to visit every child.
void BM_SnapDecision(benchmark::State& state)
{
    SimDesktop desktop;
    ScopedPlatform scoped(desktop);
    SimApp& app = desktop.launch("Editor", "org.example.Editor");
    auto window = app.addWindow("Many", {0, 0}, {1000, 1000});
    const auto children = state.range(0);
    for (int64_t i = 0; i + 1 < children; ++i)
        window->addButton("Item " + std::to_string(i), {0, 0}, {10, 10});
    window->addButton("OK", {500, 500}, {80, 20});
    ElementReader reader{desktop.accessibility()};
    ButtonChooser chooser{desktop, reader, &app.info};
    for (auto _ : state)
        benchmark::DoNotOptimize(chooser.answeringButton(window->element()));
    state.SetComplexityN(children);
}
BENCHMARK(BM_SnapDecision)->RangeMultiplier(10)->Range(1, 10000)->Complexity(benchmark::oN);

void BM_TrackerRebuild(benchmark::State& state)
{
    SimDesktop desktop;
    ScopedPlatform scoped(desktop);
    const auto apps = state.range(0);
    for (int64_t i = 0; i < apps; ++i) {
        SimApp& app = desktop.addRunningApp("App " + std::to_string(i), "org.example.app" + std::to_string(i));
        app.addWindow("Window");
    }
    AppTracker tracker{desktop};
    for (auto _ : state)
        tracker.reloadObservers();
    state.SetComplexityN(apps);
}
BENCHMARK(BM_TrackerRebuild)->RangeMultiplier(10)->Range(1, 1000)->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
