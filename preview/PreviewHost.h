#pragma once

#include "AudioEngine.h"
#include "ConnectionProxy.h"
#include "Options.h"
#include "PreviewWindow.h"
#include "ProjectFile.h"
#include "Transport.h"

#include "Module.h"
#include "PluginInstance.h"

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace kelo::preview {

/// The preview as a DAW with one track: Kelo loaded and connected through
/// the host's proxies, its project restored, processing on the audio
/// thread, its editor in a window on the UI thread (the thread that calls
/// run), and the terminal's keys as the transport's buttons.
class PreviewHost {
 public:
  explicit PreviewHost(Options options);
  ~PreviewHost();

  /// The whole program; answers the exit status.
  int run();

 private:
  using Clock = std::chrono::steady_clock;

  bool start();
  int runInteractive();
  int runScreenshots();
  void stop();

  bool openEditor();
  void closeEditor();
  void onKey(char key);
  void printStatus();
  void reportChanges();
  void autoPlay();
  void locate(int bar);
  void switchDisplayMode();
  bool reloadProject();
  void resizeBy(double factor);
  /// Pumps the UI thread until `done` or `timeoutMs`; answers done ().
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
  bool capture(const std::string& name);

  Options options;
  host::Module module;
  std::unique_ptr<host::PluginInstance> instance;
  std::unique_ptr<ConnectionProxy> toProcessor;
  std::unique_ptr<ConnectionProxy> toController;
  std::unique_ptr<Transport> transport;
  std::unique_ptr<AudioEngine> engine;
  std::unique_ptr<PreviewWindow> window;
  std::unique_ptr<ProjectFile> project;
  Steinberg::IPtr<Steinberg::IPlugView> view;
  bool demo = false;
  bool autoPlaying = false;
  Clock::time_point stoppedAt;
  std::string typedBar;
  int width, height;
  int dirtySeen = 0;
  bool quit = false;
};

}  // namespace kelo::preview
