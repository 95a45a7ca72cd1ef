#pragma once

namespace kelo::testhost {

/// Counts operator new calls (every form) made on the constructing thread
/// while the counter lives. Using it links the test host's replacement of
/// the global operator new and delete (malloc and free underneath) into the
/// executable; the dynamic linker binds the loaded module's own calls to it,
/// so allocations inside the plug-in are counted too. Counters may not nest.
///
///     AllocationCounter counter;
///     driver.process (256);
///     EXPECT_EQ (counter.count (), 0);
class AllocationCounter {
 public:
  AllocationCounter();
  ~AllocationCounter();

  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  /// Allocations so far.
  long count() const;
  /// Starts again from 0.
  void reset();
};

}  // namespace kelo::testhost
