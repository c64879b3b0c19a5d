#pragma once
// How the program reaches a platform facility. Each facility is one narrow interface
// (FileSystem, Process, Dialog, ...). Code asks `platform::use<Facility>()` for the
// current implementation: the operating system's own, made on first use by
// `platform::makeSystemFacility<Facility>()`, unless a test, tool or the start-up code
// has installed another with `platform::Installed<Facility>`.
//
// Where each `makeSystemFacility` is defined:
// - FileSystem, Process, Registry, ResourceLoader, DynamicLibraries, Wine: the OS
//   library, os/posix or os/win32 (the file named after the facility).
// - SoundOutput: the sound object library an executable links, so that only the
//   program that plays sounds carries the sound code: os/posix/sound_output.cpp
//   or os/win32/sound_output.cpp (`tollwick_sound`), platform/silent_sound.cpp
//   (`tollwick_sound_none`).
// - SecurityLibrary (security/security_library.h, a facility of the routines reached the
//   same way): security/loaded_security_library.cpp. It loads ZELKORSEC through the
//   DynamicLibraries facility and raises the routines' run-time error for a missing library.
// - Dialog: runtime/message_box.cpp. The start-up code installs the dialog it chooses;
//   without one no box can be shown, which the runtime raises as its run-time error.

#include <memory>

namespace tollwick::platform {

// Defined once per facility by the operating-system implementation.
template <class Facility>
std::unique_ptr<Facility> makeSystemFacility();

template <class Facility>
class Seam {
 public:
  static Facility& current() {
    if (installed_ != nullptr) return *installed_;
    static std::unique_ptr<Facility> system = makeSystemFacility<Facility>();
    return *system;
  }
  static Facility* install(Facility* facility) {
    Facility* previous = installed_;
    installed_ = facility;
    return previous;
  }

 private:
  static inline Facility* installed_ = nullptr;
};

template <class Facility>
Facility& use() {
  return Seam<Facility>::current();
}

// Installs `facility` for the life of this object, then puts back what was there.
template <class Facility>
class Installed {
 public:
  explicit Installed(Facility& facility) : previous_(Seam<Facility>::install(&facility)) {}
  ~Installed() { Seam<Facility>::install(previous_); }
  Installed(const Installed&) = delete;
  Installed& operator=(const Installed&) = delete;

 private:
  Facility* previous_;
};

}  // namespace tollwick::platform
