#pragma once

#include <juce_data_structures/juce_data_structures.h>
#include <juce_events/juce_events.h>

/** The editor's settings: an XML property file in the form the framework's PropertiesFile
    writes (a PROPERTIES element of VALUE name/val pairs), read once and written back a while
    after the last change and when destroyed.

    The file comes from outside, so it is read through a bounded door: only a regular file
    (links followed) of at most maxFileBytes, opened without blocking, with no document type
    declaration and few elements, parsed without fetching anything. Anything else leaves the
    settings empty, and the next save replaces the file; a failed save leaves it as it was. */
class EditorSettingsFile : public juce::PropertySet, private juce::Timer
{
  public:
    /** Larger than any settings file this editor writes, many times over. */
    static constexpr int maxFileBytes = 4096;
    /** Tags (each '<') a file may hold: the framework's form needs three and one per key. */
    static constexpr int maxTags = 64;

    /** Reads the file those options name (on Linux always the user's: the all-users one would
        be in /var, writable by root alone). */
    explicit EditorSettingsFile(const juce::PropertiesFile::Options& options);

    /** Writes a pending change. */
    ~EditorSettingsFile() override;

    const juce::File& getFile() const noexcept { return file; }

    /** Writes the values now, through a temporary file that then replaces the file. */
    bool save();

  private:
    void propertyChanged() override;
    void timerCallback() override;

    const juce::File file;
    const juce::PropertiesFile::Options options;
    bool needsWriting = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(EditorSettingsFile)
};
