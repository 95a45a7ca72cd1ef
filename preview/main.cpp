// kelo-preview: Kelo without a DAW. See Options.cpp (--help) for what it does.
#include "Options.h"
#include "PreviewHost.h"

#include <cstdio>
#include <cstdlib>

#ifndef KELO_PREVIEW_BUNDLE
#define KELO_PREVIEW_BUNDLE "Kelo.vst3"
#endif

int main(int argc, char** argv) {
  kelo::preview::Options options;
  std::string error;
  if (!kelo::preview::parseOptions(argc, argv, KELO_PREVIEW_BUNDLE, options, error)) {
    std::fprintf(stderr, "kelo-preview: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(kelo::preview::helpText(), stdout);
    return 0;
  }
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    std::fprintf(stderr, "kelo-preview: no display (DISPLAY is not set); run it under xvfb-run%s\n",
                 options.screenshotDir.empty() ? " with --screenshots DIR --at BAR,..." : "");
    return 1;
  }
  kelo::preview::PreviewHost host(std::move(options));
  return host.run();
}
