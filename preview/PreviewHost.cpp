#include "PreviewHost.h"

#include "ChildProcesses.h"
#include "DemoSong.h"
#include "Terminal.h"
#include "WindowCapture.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kelo::preview {

using namespace Steinberg;

namespace {

constexpr int kStartTimeoutMs = 30000;
// How long the demonstration shows the editor between two plays.
constexpr auto kDemoPause = std::chrono::seconds(4);
// Polls that show the page running (and drawing what it was given).
constexpr int kPollsToSettle = 4;

SongLayout songLayout(const Options& options) {
  SongLayout song = DemoSong::layout();
  if (options.tempo) song.tempo = *options.tempo;
  if (!options.meters.empty()) song.meters = options.meters;
  if (options.loopStart > 0) {
    song.loopStartBar = options.loopStart;
    song.loopEndBar = options.loopEnd;
  }
  return song;
}

}  // namespace

PreviewHost::PreviewHost(Options given)
    : options(std::move(given)), module(options.bundle), width(options.width), height(options.height) {}

PreviewHost::~PreviewHost() {
  stop();
}

int PreviewHost::run() {
  if (!start()) return 1;
  const int status = options.screenshotDir.empty() ? runInteractive() : runScreenshots();
  closeEditor();
  if (project && !options.stateFile.empty() && options.screenshotDir.empty()) {
    if (project->save(*instance))
      std::printf("Saved Kelo's state to %s\n", project->location().c_str());
    else {
      std::fprintf(stderr, "kelo-preview: %s\n", project->error().c_str());
      stop();
      return 1;
    }
  }
  stop();
  return status;
}

bool PreviewHost::start() {
  if (!module.loaded()) {
    std::fprintf(stderr, "kelo-preview: cannot load %s: %s\n", options.bundle.c_str(), module.lastError().c_str());
    return false;
  }
  host::InstanceOptions setup;
  setup.connect = false;
  instance = std::make_unique<host::PluginInstance>(module, setup);
  if (!instance->ok()) {
    std::fprintf(stderr, "kelo-preview: %s\n", instance->lastError().c_str());
    return false;
  }
  toProcessor = std::make_unique<ConnectionProxy>(instance->processorConnection());
  toController = std::make_unique<ConnectionProxy>(instance->controllerConnection());
  instance->controllerConnection()->connect(toProcessor.get());
  instance->processorConnection()->connect(toController.get());

  // The project, as a DAW opens one: the saved state into both components.
  if (!options.stateFile.empty()) {
    project = std::make_unique<ProjectFile>(options.stateFile);
    const ProjectFile::Load loaded = project->load(*instance);
    if (loaded == ProjectFile::Load::kFailed) {
      std::fprintf(stderr, "kelo-preview: %s\n", project->error().c_str());
      return false;
    }
    demo = loaded == ProjectFile::Load::kMissing;
  } else
    demo = true;
  if (demo && !restoreProject(*instance, DemoSong::state())) {
    std::fprintf(stderr, "kelo-preview: Kelo refused the demonstration song's state\n");
    return false;
  }

  transport = std::make_unique<Transport>(songLayout(options));
  transport->locate(options.startBar);
  if (instance->activate(Vst::kSample32, AudioEngine::kBlockSize, AudioEngine::kSampleRate) != kResultOk) {
    std::fprintf(stderr, "kelo-preview: Kelo refused to start processing\n");
    return false;
  }
  engine = std::make_unique<AudioEngine>(instance->processor(), *transport);
  engine->start();

  window = std::make_unique<PreviewWindow>(width, height, "Kelo preview");
  if (!window->ok()) {
    std::fprintf(stderr, "kelo-preview: no window on the X display\n");
    return false;
  }
  return openEditor();
}

void PreviewHost::stop() {
  closeEditor();
  window.reset();
  if (engine) {
    engine->stop();
    std::printf("Audio: %ld blocks, %ld changed, %ld failed\n", engine->blocks(), engine->changedBlocks(),
                engine->failedBlocks());
    engine.reset();
  }
  if (instance) {
    if (toProcessor) {
      instance->controllerConnection()->disconnect(toProcessor.get());
      instance->processorConnection()->disconnect(toController.get());
    }
    instance.reset();
  }
  std::fflush(stdout);
}

bool PreviewHost::openEditor() {
  if (view) return true;
  view = owned(instance->controller()->createView(Vst::ViewType::kEditor));
  if (!view) {
    std::fprintf(stderr, "kelo-preview: Kelo has no editor\n");
    return false;
  }
  ViewRect size(0, 0, width, height);
  view->onSize(&size);
  if (window->attach(view) != kResultOk) {
    std::fprintf(stderr, "kelo-preview: the editor did not attach to the window\n");
    view = nullptr;
    return false;
  }
  return true;
}

void PreviewHost::closeEditor() {
  if (!view) return;
  window->detach();
  view = nullptr;
}

bool PreviewHost::pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() > end) return false;
    window->pump(10);
  }
  return true;
}

int PreviewHost::runInteractive() {
  std::printf("Kelo preview: %s. Press s for the status, q to quit; --help lists the keys.\n",
              demo ? "the demonstration song \"Night Tram\"" : project->location().c_str());
  std::fflush(stdout);
  Terminal terminal;
  autoPlaying = demo;
  stoppedAt = Clock::now();
  while (!quit) {
    window->pump(15);
    for (const char key : terminal.keys()) onKey(key);
    if (autoPlaying) autoPlay();
    reportChanges();
    if (Terminal::interrupted()) quit = true;
    if (window->closedByUser()) {
      std::printf("The window was closed.\n");
      quit = true;
    }
  }
  return 0;
}

void PreviewHost::autoPlay() {
  if (!transport->playing()) {
    if (Clock::now() - stoppedAt >= kDemoPause) {
      transport->locate(options.startBar);
      transport->setPlaying(true);
    }
  } else if (transport->barAt(transport->position()) >= DemoSong::kEndBar && !transport->looping()) {
    transport->setPlaying(false);
    stoppedAt = Clock::now();
  }
}

void PreviewHost::reportChanges() {
  const int dirty = instance->handler() ? instance->handler()->dirtyCount() : 0;
  if (dirty != dirtySeen) {
    dirtySeen = dirty;
    std::printf("Kelo marked the project changed (setDirty %d)\n", dirty);
    std::fflush(stdout);
  }
}

void PreviewHost::printStatus() {
  const double position = transport->position();
  const int bar = transport->barAt(position);
  const MeterChange& meter = transport->meterAt(position);
  std::printf(
      "status bar=%d beat=%.2f meter=%d/%d %s loop=%s position=%s editor=%s polls=%ld dirty=%d "
      "lastdirty=%s blocks=%ld changed=%ld failed=%ld browsers=%zu\n",
      bar, 1.0 + (position - transport->barStart(bar)) * meter.denominator / 4.0, meter.numerator, meter.denominator,
      transport->playing() ? "playing" : "stopped", transport->looping() ? "on" : "off",
      transport->positionValid() ? "on" : "off", view ? "open" : "closed", toProcessor->polls(), dirtySeen,
      instance->handler() && instance->handler()->lastDirty() ? "true" : "false", engine->blocks(),
      engine->changedBlocks(), engine->failedBlocks(), childProcessesNamed("chromium").size());
  std::fflush(stdout);
}

void PreviewHost::locate(int bar) {
  transport->locate(bar);
  std::printf("At bar %d\n", bar);
}

void PreviewHost::onKey(char key) {
  if (key >= '0' && key <= '9') {
    typedBar += key;
    return;
  }
  if ((key == 'g' || key == '\n' || key == '\r') && !typedBar.empty()) {
    autoPlaying = false;
    locate(std::max(1, std::min(1000000, std::atoi(typedBar.c_str()))));
    typedBar.clear();
    return;
  }
  typedBar.clear();
  const int bar = transport->barAt(transport->position());
  switch (key) {
    case ' ':
      autoPlaying = false;
      transport->setPlaying(!transport->playing());
      std::printf("%s\n", transport->playing() ? "Playing" : "Stopped");
      break;
    case ',':
      autoPlaying = false;
      locate(std::max(1, bar - 1));
      break;
    case '.':
      autoPlaying = false;
      locate(bar + 1);
      break;
    case 'h':
      locate(options.startBar);
      break;
    case 'l':
      transport->setLooping(!transport->looping());
      std::printf("Loop %s (bars %d to %d)\n", transport->looping() ? "on" : "off", transport->layout().loopStartBar,
                  transport->layout().loopEndBar);
      break;
    case 'n':
      transport->setPositionValid(!transport->positionValid());
      std::printf("Musical position %s\n", transport->positionValid() ? "on" : "off");
      break;
    case 'd':
      switchDisplayMode();
      break;
    case 'r':
      std::printf("%s\n", reloadProject() ? "Project reloaded" : "The project could not be reloaded");
      break;
    case 'w':
      if (project) std::printf("%s\n", project->save(*instance) ? "Project saved" : project->error().c_str());
      break;
    case 'e':
      if (view)
        closeEditor();
      else
        openEditor();
      std::printf("Editor %s\n", view ? "open" : "closed");
      break;
    case '+':
      resizeBy(1.1);
      break;
    case '-':
      resizeBy(1 / 1.1);
      break;
    case 'a':
      autoPlaying = demo && !autoPlaying;
      stoppedAt = Clock::now();
      std::printf("Automatic playing %s\n", autoPlaying ? "on" : "off");
      break;
    case 's':
      printStatus();
      break;
    case 'q':
    case 27:
      quit = true;
      break;
    default:
      break;
  }
  std::fflush(stdout);
}

void PreviewHost::switchDisplayMode() {
  // A host cannot set Kelo's settings one by one; it changes the project,
  // as loading another version of it does.
  std::string bytes;
  if (!saveProject(*instance, bytes)) return;
  nlohmann::json document = nlohmann::json::parse(bytes, nullptr, false);
  if (!document.is_object() || !document.contains("displayMode")) return;
  const int mode = document["displayMode"].get<int>() == 0 ? 1 : 0;
  document["displayMode"] = mode;
  if (restoreProject(*instance, document.dump())) std::printf("Display mode: %s\n", mode == 0 ? "scrolling" : "static");
}

bool PreviewHost::reloadProject() {
  if (!project || demo) return restoreProject(*instance, DemoSong::state());
  return project->load(*instance) == ProjectFile::Load::kLoaded;
}

void PreviewHost::resizeBy(double factor) {
  const ViewRect taken = window->resize(static_cast<int>(width * factor), static_cast<int>(height * factor));
  width = taken.getWidth();
  height = taken.getHeight();
  std::printf("Window %dx%d\n", width, height);
}

bool PreviewHost::capture(const std::string& name) {
  const std::string path = (std::filesystem::path(options.screenshotDir) / name).string();
  std::string error;
  if (!captureWindowPng(window->x11Window(), path, error)) {
    std::fprintf(stderr, "kelo-preview: %s\n", error.c_str());
    return false;
  }
  std::printf("Wrote %s\n", path.c_str());
  return true;
}

int PreviewHost::runScreenshots() {
  std::error_code ignored;
  std::filesystem::create_directories(options.screenshotDir, ignored);
  auto settle = [this](int polls) {
    const long from = toProcessor->polls();
    return pumpUntil([&] { return toProcessor->polls() >= from + polls; }, kStartTimeoutMs);
  };
  if (!settle(kPollsToSettle)) {
    std::fprintf(stderr, "kelo-preview: the editor's page did not start\n");
    return 1;
  }
  window->pump(500);
  if (!capture("editor.png")) return 1;
  transport->hold(true);
  transport->setPlaying(true);
  for (const char* mode : {"scrolling", "static"}) {
    for (const int bar : options.shotBars) {
      // Half a bar in: the phrase is partly filled and on its way.
      transport->locate(bar, 0.5);
      settle(kPollsToSettle);
      window->pump(200);
      if (!capture(std::string(mode) + "-bar-" + std::to_string(bar) + ".png")) return 1;
    }
    switchDisplayMode();
  }
  transport->setPlaying(false);
  transport->hold(false);
  return 0;
}

}  // namespace kelo::preview
