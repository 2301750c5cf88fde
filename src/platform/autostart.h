#pragma once

namespace vantrel {

// The program's entry for starting at login.
class Autostart {
  public:
    virtual ~Autostart() = default;

    virtual bool exists() = 0;
    // Adds the entry for the running executable when there is none; an existing entry keeps
    // the path it has. Throws Error when the entry cannot be written.
    virtual void add() = 0;
    // Removes the entry when there is one; a failure to remove it is silent.
    virtual void remove() = 0;
};

}  // namespace vantrel
