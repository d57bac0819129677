#pragma once
// Small synchronous helpers of the setup program: starting outside programs and waiting for them,
// copying folders, a few facts about this machine, and SQL script text preparation.
#include <string>
#include <vector>

#include "foundation/Errors.h"

namespace kelvar {

// Failures the setup's helpers raise (only ExecAndWait does).
class ESetupError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

// Runs file with the blank-separated parameters and waits for it to end; answers its exit status
// (-1 when it did not end normally). Without a folder the program runs in its own folder.
// Raises "Unable to start \"file\"" when it cannot be started.
int ExecAndWait(const std::string& file, const std::string& parameters, const std::string& folder = {});

// Starts file with the parameters and does not wait for it; raises like ExecAndWait.
void StartDetached(const std::string& file, const std::string& parameters = {});

// Copies the whole contents of source into target (created when missing), overwriting files;
// answers whether every entry was copied.
bool CopyDir(const std::string& source, const std::string& target);

// The folder programs of one user are installed under ($XDG_DATA_HOME, else ~/.local/share),
// with a trailing delimiter.
std::string ProgramFilesDir();

// Binds a TCP socket to port on all local addresses; false with the system's error code when
// that fails.
bool BindPort(int port, int* errorCode = nullptr);
bool IsPortInUse(int port);

// Always true here: the branches for old systems without services never apply.
bool IsWinNT();

// 0 running, 1 installed and not running, 2 missing or unknowable (no service manager).
int GetServiceState(const std::string& serviceName);

// The media libraries that play Windows Media files load.
bool HasWindowsMedia9();

// Removes lines that are empty, blank, or start with '#', '/' or '-'.
void StripScriptLines(std::vector<std::string>& lines);

// The default playback device opens (a sound server counts as a device).
bool HasSoundCard();

// Creates the folder and its missing parents; whether it exists afterwards.
bool ForceFolder(const std::string& folder);

// Writes the text whole or not at all: a temporary file beside the target, synced, renamed over
// it, keeping the old file's mode. Raises EFileError on failure.
void SaveStringToFile(const std::string& file, const std::string& text);
// The whole file's bytes; EFileError when it can't be read.
std::string LoadFileToString(const std::string& file);

// This computer's host name, empty when it can't be read.
std::string ComputerName();

// Text lines of a file or string, split at line feeds (a carriage return before one is dropped).
std::vector<std::string> SplitLines(const std::string& text);
std::string JoinLines(const std::vector<std::string>& lines);

// The folder with exactly one trailing "/".
std::string IncludeTrailingDelimiter(const std::string& folder);
std::string ExcludeTrailingDelimiter(const std::string& folder);

}  // namespace kelvar
