// Apart from Files.cpp: GIO's headers and Qt's keywords do not mix.
#include "platform/GioTrash.h"

#include <gio/gio.h>

namespace platform {

bool TrashWithGio(const std::string& path)
{
    GFile* file = g_file_new_for_path(path.c_str());
    GError* error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error) != FALSE;
    if (error != nullptr)
        g_error_free(error);
    g_object_unref(file);
    return trashed;
}

}  // namespace platform
