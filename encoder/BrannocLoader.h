#pragma once
// Host side: loads libBrannoc.so with dlopen and fetches its entry-point table.
#include "encoder/BrannocApi.h"

#include <dlfcn.h>
#include <string>

namespace brannoc {

class BrannocLibrary {
public:
    explicit BrannocLibrary(const std::string& path) {
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            error_ = dlerror();
            return;
        }
        auto get = reinterpret_cast<GetApiFunction>(dlsym(handle_, "GetAPI"));
        if (!get) {
            error_ = "GetAPI not found";
            return;
        }
        api_ = get();
    }
    ~BrannocLibrary() {
        if (handle_) dlclose(handle_);
    }
    BrannocLibrary(const BrannocLibrary&) = delete;
    BrannocLibrary& operator=(const BrannocLibrary&) = delete;

    const EncoderApi* Api() const { return api_; }
    const std::string& Error() const { return error_; }

private:
    void* handle_ = nullptr;
    const EncoderApi* api_ = nullptr;
    std::string error_;
};

}  // namespace brannoc
