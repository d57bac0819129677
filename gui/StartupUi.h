#pragma once
// What start-up and shutdown show the operator: the splash and the two dialogs. The window
// program shows them; service mode turns the dialogs into log lines and answers them itself.
#include <memory>
#include <string>

namespace kelvar {

class IStartupUi {
public:
    virtual ~IStartupUi() = default;
    // Creates the splash when there is none, with the version, group 0 and "Starting...".
    virtual void ShowSplash(const std::string& version) = 0;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetGroup(int index) = 0;
    virtual void CloseSplash() = 0;
    // A message with one OK button.
    virtual void ErrorDialog(const std::string& text) = 0;
    // A message with Abort and Retry; true for Retry.
    virtual bool RetryDialog(const std::string& text) = 0;
};

// Service mode: no splash; a dialog is an error line in the log, and Retry is answered a bounded
// number of times, waiting a little longer before each try.
class TServiceStartupUi : public IStartupUi {
public:
    explicit TServiceStartupUi(int maxRetries = 3, int firstWaitMs = 1000);
    void ShowSplash(const std::string&) override {}
    void SetStatus(const std::string&) override {}
    void SetGroup(int) override {}
    void CloseSplash() override {}
    void ErrorDialog(const std::string& text) override;
    bool RetryDialog(const std::string& text) override;

private:
    int FMaxRetries;
    int FWaitMs;
    int FRetries = 0;
};

}  // namespace kelvar
