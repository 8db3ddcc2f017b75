// Marks a function as part of a library's C interface; everything else in
// the libraries is built with hidden visibility.
#ifndef PELLUM_SDK_EXPORT_H
#define PELLUM_SDK_EXPORT_H

#define PELLUM_EXPORT extern "C" __attribute__((visibility("default")))

#endif
