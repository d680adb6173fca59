// The main window over the offline sound device, laid out, with its settings in a temp folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/TFmain.h"
#include "app/Wmain.h"
#include "audio/AudioEngine.h"
#include "platform/sound/OfflineSoundDevice.h"
#include "platform/system/Clock.h"

// The one-shot timer is off, so no main loop starts: the tests call the handlers themselves.
class MainWindowFixture : public ::testing::Test {
  protected:
    AudioEngine audio;
    std::string folder;
    std::unique_ptr<Wmain> module;
    std::unique_ptr<TFmain> form;

    void SetUp() override {
        char pattern[] = "/tmp/brevant-app-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        module = std::make_unique<Wmain>(audio, SettingsPlace::only(folder + "/settings.cfg"));
        form = std::make_unique<TFmain>(*module, audio);
        form->timer.setEnabled(false);
        ASSERT_TRUE(audio.init(nullptr, 2, std::make_unique<platform::OfflineSoundDevice>()));
        module->metronome.animateBeatChange = false;
        form->buildLayout();
    }
    void TearDown() override {
        form.reset();
        module.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    Metronome& m() { return module->metronome; }
    ShadeUI& c() { return module->mainContainer; }
    void setBpm(int bpm) { m().tempo = (bpm - 40) * 0.005; }
    void start() {
        m().running = true;
        m().restart();
    }
    std::vector<std::int16_t> play(int frames) {
        return static_cast<platform::OfflineSoundDevice*>(AudioEngine::device())->render(frames);
    }
};
