// The files the program keeps, behind a seam so that tests can fail any step. Names are CP936 texts:
// a bare name lies in the current directory. Every failure throws IoError.
#pragma once

#include <cstddef>
#include <string>

namespace quarvo {

class FileStore {
 public:
  virtual ~FileStore() = default;
  // True when the name is an existing file; false for a folder, a missing file or any failure.
  virtual bool IsPresent(const std::string& name) = 0;
  // The whole file, opened for reading while other programs may read it too. A file of more than
  // `limit` bytes is refused with TooLargeError: by its size before anything is read, and, should
  // it grow meanwhile, as soon as the bytes read pass the limit. A name that is no plain file (a
  // pipe, a device) is refused with NotPlainFileError, without waiting for a writer.
  virtual std::string ReadAll(const std::string& name, std::size_t limit) = 0;
  // Writes the bytes to a new file of a name of its own beside the old one, flushed to the disk,
  // and then puts it in the old one's place, with the old one's mode (and owner, where the process
  // may give it). A failure at any step leaves the old file as it was, and saves at the same time
  // each either win whole or fail for a true reason. A file that may not be written (read-only,
  // locked by another program, a folder) fails before anything is written; a pipe, a device or a
  // socket fails with NotPlainFileError before anything is opened for writing. A name that is a
  // symbolic link is written through to the file it leads to.
  virtual void Replace(const std::string& name, const std::string& bytes) = 0;
  // Creates the folder and any missing folders above it; an existing folder is no failure.
  virtual void CreateFolder(const std::string& name) = 0;
};

// The platform's files.
}  // namespace quarvo
