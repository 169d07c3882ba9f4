// Where the program keeps its files, single-instance locking, and the companion program's
// shutdown helper.
#pragma once

#include <QLockFile>
#include <memory>
#include <string>

// The program's own folder when it may write there, else the user's data folder for the program.
std::string LogFolder(const std::string& ApplicationDir);
// Where the simulated instrument keeps its state unless told otherwise.
std::string DefaultSimulatorFolder();
// Holds the per-user lock "VeltraUtility_3"; nullptr when another copy holds it. A lock left by a
// copy that crashed is taken over.
std::unique_ptr<QLockFile> TakeSingleInstanceLock();
// Starts the companion program's shutdown helper where it is installed; nothing when it is not.
void ShutDownCompanionProgram();
