#pragma once

#include <QString>

/**
 * @brief Makes a folder read-only for the calling thread while it lives.
 *
 * Taking the write permission away is not enough when the tests run as root,
 * who writes anyway: then the thread also gives up its capabilities to
 * override file permissions (they are per thread on Linux), and takes them
 * back at the end. The store does its file work on the calling thread, so it
 * sees the folder as an operator's read-only folder.
 */
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();

    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    /** Checked by trying: a test whose folder is still writable proves nothing. */
    bool isReadOnly() const;

private:
    QString folder;
    bool active = false;
    bool droppedCapabilities = false;
};
