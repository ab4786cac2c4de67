#include "platform/LateLibrary.h"

#include <dlfcn.h>

LateLibrary::LateLibrary(const char *soname) : soname_(soname)
{
    // Its own symbols stay its own: nothing loaded later binds to them.
    handle_ = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *why = ::dlerror();
        error_ = QStringLiteral("%1 cannot be loaded: %2").arg(QString::fromLatin1(soname),
                                                               why ? QString::fromLocal8Bit(why) : QString());
    }
}

void *LateLibrary::symbol(const char *name)
{
    if (!handle_)
        return nullptr;
    void *const address = ::dlsym(handle_, name);
    if (!address && error_.isEmpty())
        error_ = QStringLiteral("%1 has no %2").arg(QString::fromLatin1(soname_), QString::fromLatin1(name));
    return address;
}
