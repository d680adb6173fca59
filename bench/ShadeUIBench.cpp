// Attaching the main window's container and building all its controls, as one layout pass.
#include <benchmark/benchmark.h>

#include "platform/window/Application.h"
#include "platform/window/Form.h"
#include "shadeui/ShadeUI.h"

namespace {

struct Model {
    double tempo = 0.4;
    double volume = 0.8;
    bool running = false;
};

// The main window's layout: frame and title bar, two faders, seven buttons and four labels.
void buildMainWindow(ShadeUI& ui, platform::Form& form, Model& m) {
    ui.attachToWindow(&form, "", false, true);
    ui.beginControls([] {}, [] {});
    ui.setY(54).setX(268).setHeight(100).addFader("Tempo", &m.tempo, 0, 10, -1);
    ui.advanceX(19).addFader("Volume", &m.volume, 0, 10, -1);
    ui.setY(115).setX(231).setHeight(0).setWidth(0).addButton("<plus>", 0);
    ui.advanceY(1).addButton("<minus>", 1);
    ui.setY(254).setX(46).setWidth(22).addButton("", 4);
    ui.setX(92).setWidth(22).addButton("<", 3).advanceX(1).addButton(">", 2);
    ui.setX(161).setWidth(22).addButton("<tap>", 6);
    ui.setX(273).setWidth(71).addToggle("<sound>", &m.running);
    ui.setY(278).setX(45).addLabel("Tone").setX(104).addLabel("Beat");
    ui.setX(163).addLabel("Tap").setX(299).addLabel("Play");
}

void AttachAndBuildMainWindow(benchmark::State& state) {
    platform::Application::instance().setTitle("Brevant");
    platform::Form form;
    form.setClientSize(389, 305);
    form.show();
    platform::Application::instance().processMessages();
    ShadeUI ui;
    Model model;
    for (auto _ : state) {
        buildMainWindow(ui, form, model);
        benchmark::DoNotOptimize(ui.raster.rows.get());
    }
    state.SetLabel("389 x 305, 2 faders, 7 buttons, 4 labels");
}
BENCHMARK(AttachAndBuildMainWindow)->Unit(benchmark::kMillisecond);

void AttachOnly(benchmark::State& state) {
    platform::Form form;
    form.setClientSize(389, 305);
    ShadeUI ui;
    for (auto _ : state)
        ui.attachToWindow(&form, "Brevant", false, true);
}
BENCHMARK(AttachOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
