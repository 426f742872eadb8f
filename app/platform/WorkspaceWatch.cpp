// Gives the build its meta-object code for the interface (signals live in
// generated code next to a source of the same name).
#include "app/platform/WorkspaceWatch.hpp"
