#include "editor/EditorSettingsFile.h"

#if !JUCE_WINDOWS
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <optional>

namespace
{
const char* const rootTag = "PROPERTIES";

juce::File settingsFileFor(juce::PropertiesFile::Options options)
{
#if JUCE_LINUX || JUCE_BSD
    options.commonToAllUsers = false;
#else
    if (options.commonToAllUsers)
    {
        const auto common = options.getDefaultFile();
        if (common.getParentDirectory().createDirectory() && common.getParentDirectory().hasWriteAccess())
            return common;
        options.commonToAllUsers = false;
    }
#endif
    return options.getDefaultFile();
}

#if !JUCE_WINDOWS
/** The file's bytes when it is a regular file (links followed) of at most maxBytes; nothing
    otherwise. The type is checked before the open, since opening a FIFO waits for a writer and
    reading a device may never end; the open does not block either, and what was opened is
    checked again, in case the file was swapped in between. */
std::optional<juce::MemoryBlock> readSmallRegularFile(const juce::File& file, int maxBytes)
{
    const auto path = file.getFullPathName();
    struct stat named = {};
    if (::stat(path.toRawUTF8(), &named) != 0 || !S_ISREG(named.st_mode) || named.st_size > maxBytes)
        return {};

    const int fd = ::open(path.toRawUTF8(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const auto closeFile = [fd] { ::close(fd); };
    const juce::ScopeGuard closing{closeFile};

    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino)
        return {};

    // One byte more than allowed tells a file that grew since.
    juce::MemoryBlock bytes((size_t)maxBytes + 1);
    size_t size = 0;
    while (size < bytes.getSize())
    {
        const auto n = ::read(fd, static_cast<char*>(bytes.getData()) + size, bytes.getSize() - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {};
        if (n == 0)
            break;
        size += (size_t)n;
    }
    if (size > (size_t)maxBytes)
        return {};
    bytes.setSize(size);
    return bytes;
}
#else
std::optional<juce::MemoryBlock> readSmallRegularFile(const juce::File& file, int maxBytes)
{
    juce::FileInputStream in(file);
    if (!file.existsAsFile() || !in.openedOk() || in.getTotalLength() > maxBytes)
        return {};
    juce::MemoryBlock bytes;
    if (in.readIntoMemoryBlock(bytes, maxBytes + 1) > (size_t)maxBytes)
        return {};
    return bytes;
}
#endif

/** The settings document, or nothing when the bytes are not a text the framework's form allows. A
    document type declaration is refused outright: it is how an XML file makes its reader fetch
    other files or expand entities; a cap on the tags bounds the parser's recursion, one level
    per nested element. */
std::unique_ptr<juce::XmlElement> parseSettings(const juce::MemoryBlock& bytes)
{
    const auto* data = static_cast<const char*>(bytes.getData());
    if (!juce::CharPointer_UTF8::isValidString(data, (int)bytes.getSize()))
        return {};
    const auto text = juce::String::fromUTF8(data, (int)bytes.getSize());
    if (text.containsIgnoreCase("<!DOCTYPE") || text.containsIgnoreCase("<!ENTITY"))
        return {};

    int tags = 0;
    for (auto c = text.getCharPointer(); !c.isEmpty(); ++c)
        if (*c == '<' && ++tags > EditorSettingsFile::maxTags)
            return {};

    // Parsed from text, the document has no source to fetch anything from.
    return juce::parseXMLIfTagMatches(text, rootTag);
}
} // namespace

EditorSettingsFile::EditorSettingsFile(const juce::PropertiesFile::Options& o)
    : juce::PropertySet(o.ignoreCaseOfKeyNames), file(settingsFileFor(o)), options(o)
{
    const auto bytes = readSmallRegularFile(file, maxFileBytes);
    if (const auto document = bytes ? parseSettings(*bytes) : nullptr)
        for (const auto* value : document->getChildWithTagNameIterator("VALUE"))
            if (const auto name = value->getStringAttribute("name"); name.isNotEmpty())
                getAllProperties().set(name, value->getStringAttribute("val"));
}

EditorSettingsFile::~EditorSettingsFile()
{
    stopTimer();
    if (needsWriting)
        save();
}

bool EditorSettingsFile::save()
{
    stopTimer();
    if (options.doNotSave || file == juce::File() || file.isDirectory() ||
        !file.getParentDirectory().createDirectory())
        return false;

    // As the framework's property file writes XML: a temporary file beside it, then a rename,
    // so the old file stays whole until the new one is.
    if (!createXml(rootTag)->writeTo(file, {}))
        return false;
    needsWriting = false;
    return true;
}

void EditorSettingsFile::propertyChanged()
{
    needsWriting = true;
    if (options.millisecondsBeforeSaving > 0)
        startTimer(options.millisecondsBeforeSaving);
    else if (options.millisecondsBeforeSaving == 0)
        save();
}

void EditorSettingsFile::timerCallback()
{
    save();
}
