// The file-system object as host pages create it ("Scripting.FileSystemObject"): a HostObject
// that is a FileSystemObject (fs/file_system_object.h). A host page calls operations without
// arguments only, and the file-system object has none, so a page can create one but do nothing
// with it; page objects make their own FileSystemObject. Created and used on one thread.
#pragma once

#include "platform/fs/file_system_object.h"
#include "platform/host/objects/host_object.h"

namespace host {

class FileSystemHostObject : public HostObject, public fso::FileSystemObject {};

}  // namespace host
