#ifndef FILESCREEN_H
#define FILESCREEN_H

#include <QString>

// Whether the file file_name may be read whole, judged from what the system says about it before a
// byte of it is read: false, with *reason set, when it is no regular file (a device such as /dev/zero
// or a pipe, whose reading may never end; also behind a symbolic link) or is larger than max_size
// bytes. A file that does not exist passes: opening it says so. Every reader of a whole file asks
// this first.
bool Screen_File(const QString& file_name, qint64 max_size, QString* reason);

#endif // FILESCREEN_H
