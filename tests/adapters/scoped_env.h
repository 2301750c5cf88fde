#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

// Sets (or, with nullptr, removes) an environment variable for the life of the object, then puts
// back what was there. Child processes started meanwhile inherit the setting.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// A runtime folder of this user only, `folder`run, named in XDG_RUNTIME_DIR for the life of the
// object: where a watcher puts its socket and the browsers' hosts look for it.
class PrivateRuntime {
  public:
    explicit PrivateRuntime(const std::string& folder)
        : path_(folder + "run"), env_("XDG_RUNTIME_DIR", path_.c_str()) {
        ::mkdir(path_.c_str(), 0700);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    ScopedEnv env_;
};
