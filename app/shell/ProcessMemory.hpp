#pragma once
// How the program's process uses malloc. Call first thing in main, before
// any thread starts; the benchmarks call it too, so they measure the same.

namespace tavolune {

// Each pool thread would get a malloc arena of its own, and each arena keeps
// what its thread freed: a library read or a still decoded on one thread
// would stay in the process for good. Two arenas hold the program.
void configureProcessMemory();

}  // namespace tavolune
