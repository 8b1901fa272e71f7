#include "SimRci.h"

#include "SimEncoding.h"

#include <algorithm>

namespace tervane::sim {

namespace {

const char* const kNoRadio = "Currently not configured or supported";

// A file system command that lists a folder.
bool ListsFiles(const SimNode& command)
{
    if (!NamesEqual(command.name, "do_command") || !NamesEqual(command.Attribute("target"), "file_system"))
        return false;
    return std::any_of(command.children.begin(), command.children.end(),
        [](const SimNode& child) { return NamesEqual(child.name, "ls"); });
}

SimNode Named(const SimNode& request)
{
    SimNode reply(request.name);
    for (const auto& [key, value] : request.attributes)
        reply.Attr(key, value);
    return reply;
}

} // namespace

SimRci::SimRci(SimSettings& settings, SimSettings& radio, SimFileStore& files, SimState& state,
    const Faults& faults)
    : m_settings(settings)
    , m_radio(radio)
    , m_files(files)
    , m_state(state)
    , m_faults(faults)
{
}

std::optional<std::string> SimRci::Answer(std::string_view request)
{
    const auto document = ParseXml(request);
    if (!document)
        return std::nullopt;
    if (AnswersBareNoRadio(*document))
        return std::string(kNoRadio);
    SimNode reply("rci_reply");
    reply.Attr("version", "1.1");
    bool stateAsked = false;
    bool listAsked = false;
    if (!NamesEqual(document->name, "rci_request")) {
        reply.Add(ErrorNode(1, "Request is not an rci_request"));
    } else {
        for (const SimNode& command : document->children) {
            stateAsked = stateAsked || NamesEqual(command.name, "query_state");
            listAsked = listAsked || ListsFiles(command);
            reply.Add(Command(command));
        }
    }
    std::string text = WriteXml(reply);
    text.pop_back(); // the final line end
    if ((stateAsked && m_faults.brokenState) || (listAsked && m_faults.brokenListing))
        text.resize(text.size() / 2);
    return text;
}

bool SimRci::AnswersBareNoRadio(const SimNode& request) const
{
    if (m_state.radioPresent || m_state.Config().wrapsNoRadioAnswer || !NamesEqual(request.name, "rci_request"))
        return false;
    return std::any_of(request.children.begin(), request.children.end(), [](const SimNode& command) {
        return NamesEqual(command.name, "do_command") && NamesEqual(command.Attribute("target"), "zigbee");
    });
}

SimNode SimRci::Command(const SimNode& command)
{
    if (NamesEqual(command.name, "query_setting"))
        return m_faults.stateForSettings ? m_state.Query(SimNode("query_state")) : m_settings.Query(command);
    if (NamesEqual(command.name, "set_setting"))
        return m_settings.Apply(command);
    if (NamesEqual(command.name, "query_state"))
        return m_state.Query(command);
    if (NamesEqual(command.name, "set_factory_default")) {
        m_settings.RestoreFactory();
        m_radio.RestoreFactory();
        return SimNode("set_factory_default");
    }
    if (NamesEqual(command.name, "do_command")) {
        const std::string target = command.Attribute("target");
        if (NamesEqual(target, "zigbee"))
            return Zigbee(command);
        if (NamesEqual(target, "file_system"))
            return FileSystem(command);
        return Named(command).Add(ErrorNode(1, "Unknown target: " + target));
    }
    return Named(command).Add(ErrorNode(1, "Unknown command"));
}

SimNode SimRci::Zigbee(const SimNode& doCommand)
{
    SimNode reply = Named(doCommand);
    if (!m_state.radioPresent) {
        reply.Add(ErrorNode(1, kNoRadio));
        return reply;
    }
    for (const SimNode& command : doCommand.children) {
        if (NamesEqual(command.name, "query_setting"))
            reply.Add(m_radio.Query(command));
        else if (NamesEqual(command.name, "set_setting"))
            reply.Add(m_radio.Apply(command));
        else if (NamesEqual(command.name, "query_state"))
            reply.Add(SimNode("query_state").Add(m_state.ZigbeeState()));
        else if (NamesEqual(command.name, "fw_update"))
            reply.Add(RadioUpdate(command));
        else
            reply.Add(Named(command).Add(ErrorNode(1, "Unknown command")));
    }
    return reply;
}

SimNode SimRci::RadioUpdate(const SimNode& fwUpdate)
{
    SimNode reply = Named(fwUpdate);
    const std::string file = fwUpdate.Attribute("file");
    // The radio flashes images from the mesh folder; the request names the file alone.
    const std::string path = file.rfind('/', 0) == 0 ? file : "/WEB/mesh/" + file;
    const auto image = m_files.Get(path);
    if (file.empty() || !image) {
        reply.Add(ErrorNode(2, "File not found: " + path));
    } else if (image->empty()) {
        reply.Add(ErrorNode(3, "Invalid firmware image: " + path));
    } else {
        m_state.radioFirmwareVersion = m_state.Config().updatedRadioFirmwareVersion;
        reply.text = "Firmware update completed";
    }
    return reply;
}

SimNode SimRci::FileSystem(const SimNode& doCommand)
{
    SimNode reply = Named(doCommand);
    for (const SimNode& command : doCommand.children) {
        if (NamesEqual(command.name, "ls"))
            reply.Add(FileList(command));
        else if (NamesEqual(command.name, "get_file"))
            reply.Add(FileData(command));
        else if (NamesEqual(command.name, "rm"))
            reply.Add(FileRemoval(command));
        else
            reply.Add(Named(command).Add(ErrorNode(1, "Unknown command")));
    }
    return reply;
}

SimNode SimRci::FileList(const SimNode& ls) const
{
    const std::string dir = SimFileStore::NormalizeDir(ls.HasAttribute("dir") ? ls.Attribute("dir") : "/");
    SimNode reply("ls");
    reply.Attr("dir", dir);
    if (!m_files.DirectoryExists(dir)) {
        reply.Add(ErrorNode(2, "Directory not found: " + dir));
        return reply;
    }
    for (const SimFileStore::Entry& entry : m_files.List(dir)) {
        if (entry.directory)
            reply.Add(SimNode("dir").Attr("name", entry.name));
        else
            reply.Add(SimNode("file").Attr("name", entry.name).Attr("size", ListedSize(entry.size)));
    }
    return reply;
}

SimNode SimRci::FileData(const SimNode& getFile) const
{
    const std::string name = getFile.Attribute("name");
    SimNode reply("get_file");
    reply.Attr("name", m_faults.fileReplyName.empty() ? name : m_faults.fileReplyName);
    const auto bytes = m_files.Get(name);
    if (!bytes) {
        reply.Add(ErrorNode(2, "File not found: " + name));
        return reply;
    }
    std::string encoded = Base64Encode(*bytes);
    if (m_faults.shortFileData)
        encoded.resize(encoded.size() / 2);
    SimNode data("data", std::move(encoded));
    data.Attr("size", std::to_string(bytes->size())).Attr("encode", "base64");
    reply.Add(std::move(data));
    return reply;
}

std::string SimRci::ListedSize(std::size_t size) const
{
    return m_faults.listedSize.empty() ? std::to_string(size) : m_faults.listedSize;
}

SimNode SimRci::FileRemoval(const SimNode& rm)
{
    const std::string name = rm.Attribute("name");
    SimNode reply("rm");
    reply.Attr("name", name);
    if (!m_files.Remove(name) && !m_faults.quietRemoval)
        reply.Add(ErrorNode(2, "File not found: " + name));
    return reply;
}

} // namespace tervane::sim
