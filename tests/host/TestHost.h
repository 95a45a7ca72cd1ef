#pragma once

// The test host: the host library (host/), which loads the built module and
// drives it through the interfaces a VST 3 host uses, and the tests' doubles.
// Include this one header; `kelo::testhost` names both.
//
//   Module            dlopen, ModuleEntry, GetPluginFactory, ModuleExit
//   PluginInstance    processor + controller, host context, connection,
//                     component handler, activation, host-order teardown
//   ProcessDriver     process() with test-controlled buffers and context
//   BufferStream      plain memory IBStream; ChunkedStream, FailingStream,
//                     LyingStream for hostile hosts; streamFrom, contentOf
//   sendMessage       build and send a message to an IConnectionPoint
//   RecordingPeer     stand-in connection point that records messages
//   HostApplication   creates the host's messages and attribute lists
//   AllocationCounter (library kelo_testhost_allocations) counts operator new

#include "Attribute.h"
#include "AttributeList.h"
#include "BufferStream.h"
#include "BundlePath.h"
#include "ChunkedStream.h"
#include "FailingStream.h"
#include "HostApplication.h"
#include "LyingStream.h"
#include "Message.h"
#include "MessageSender.h"
#include "Module.h"
#include "PluginInstance.h"
#include "ProcessDriver.h"
#include "RecordingComponentHandler.h"
#include "RecordingPeer.h"
#include "StreamText.h"

namespace kelo::testhost {
using namespace kelo::host;
}  // namespace kelo::testhost
