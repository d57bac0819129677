extern "C" const void* GetAPI() { return nullptr; }
