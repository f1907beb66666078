#include "printerapp/AdminAuth.h"

#include <grp.h>
#include <pwd.h>
#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace AdminAuth {

namespace {

std::string g_Service;

// PAM asks for the password (the user is named at the start); the Basic
// credentials answer it.
int Converse(int count, const struct pam_message** messages, struct pam_response** responses, void* data) {
    auto* replies = static_cast<pam_response*>(calloc(static_cast<size_t>(count), sizeof(pam_response)));
    if (!replies)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; i++)
        if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF)
            replies[i].resp = strdup(static_cast<const char*>(data));
    *responses = replies;
    return PAM_SUCCESS;
}

bool PasswordValid(const std::string& user, const std::string& password) {
    pam_conv conversation{Converse, const_cast<char*>(password.c_str())};
    pam_handle_t* handle = nullptr;
    if (pam_start(g_Service.c_str(), user.c_str(), &conversation, &handle) != PAM_SUCCESS)
        return false;
    int status = pam_authenticate(handle, PAM_SILENT);
    if (status == PAM_SUCCESS)
        status = pam_acct_mgmt(handle, PAM_SILENT);
    pam_end(handle, status);
    return status == PAM_SUCCESS;
}

bool InGroup(const std::string& user, gid_t group) {
    char buffer[16384];
    passwd entry{}, *found = nullptr;
    if (getpwnam_r(user.c_str(), &entry, buffer, sizeof buffer, &found) != 0 || !found)
        return false;
    if (found->pw_uid == 0 || found->pw_gid == group)
        return true;
    std::vector<gid_t> groups(64);
    int count = static_cast<int>(groups.size());
    if (getgrouplist(user.c_str(), found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (getgrouplist(user.c_str(), found->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    for (int i = 0; i < count; i++)
        if (groups[static_cast<size_t>(i)] == group)
            return true;
    return false;
}

// Who may do what, by operation. PAPPL asks this callback with the group
// it has in mind: the admin group for administration, the printer's print
// group (never set here) for printing and for some changes, Disable-Printer
// and Enable-Printer among them. So the operation decides, not the group:
// reading and printing are open, a job's own user may act on it (CUPS's
// default policy), and everything else needs an administrator.
enum class Access { Anyone, OwnerOrAdmin, Admin };

struct OperationAccess {
    ipp_op_t operation;
    Access access;
};

const OperationAccess kAccess[] = {
    {IPP_OP_PRINT_JOB, Access::Anyone},
    {IPP_OP_VALIDATE_JOB, Access::Anyone},
    {IPP_OP_CREATE_JOB, Access::Anyone},
    {IPP_OP_GET_JOBS, Access::Anyone},
    {IPP_OP_GET_JOB_ATTRIBUTES, Access::Anyone},
    {IPP_OP_GET_PRINTER_ATTRIBUTES, Access::Anyone},
    {IPP_OP_GET_PRINTER_SUPPORTED_VALUES, Access::Anyone},
    {IPP_OP_GET_PRINTERS, Access::Anyone},
    {IPP_OP_GET_SYSTEM_ATTRIBUTES, Access::Anyone},
    {IPP_OP_CUPS_GET_DEFAULT, Access::Anyone},
    {IPP_OP_CUPS_GET_PRINTERS, Access::Anyone},
    {IPP_OP_IDENTIFY_PRINTER, Access::Anyone},
    // Subscriptions only report events; PAPPL keeps each to its owner.
    {IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS, Access::Anyone},
    {IPP_OP_CREATE_JOB_SUBSCRIPTIONS, Access::Anyone},
    {IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES, Access::Anyone},
    {IPP_OP_GET_SUBSCRIPTIONS, Access::Anyone},
    {IPP_OP_RENEW_SUBSCRIPTION, Access::Anyone},
    {IPP_OP_CANCEL_SUBSCRIPTION, Access::Anyone},
    {IPP_OP_GET_NOTIFICATIONS, Access::Anyone},
    {IPP_OP_CANCEL_JOB, Access::OwnerOrAdmin},
    {IPP_OP_HOLD_JOB, Access::OwnerOrAdmin},
    {IPP_OP_RELEASE_JOB, Access::OwnerOrAdmin},
    {IPP_OP_CLOSE_JOB, Access::OwnerOrAdmin},
    {IPP_OP_SEND_DOCUMENT, Access::OwnerOrAdmin},
    {IPP_OP_CANCEL_MY_JOBS, Access::OwnerOrAdmin},
};

Access AccessFor(ipp_op_t operation) {
    for (const OperationAccess& entry : kAccess)
        if (entry.operation == operation)
            return entry.access;
    return Access::Admin;
}

// The job's owner, as named in the request (PAPPL cannot tell an
// unauthenticated owner from anyone else by login). Cancel-My-Jobs acts on
// the requester's own jobs only.
bool IsOwner(pappl_client_t* client) {
    if (papplClientGetOperation(client) == IPP_OP_CANCEL_MY_JOBS)
        return true;
    pappl_job_t* job = papplClientGetJob(client);
    ipp_attribute_t* user = ippFindAttribute(papplClientGetRequest(client), "requesting-user-name", IPP_TAG_NAME);
    const char* owner = job ? papplJobGetUsername(job) : nullptr;
    return owner && user && strcmp(owner, ippGetString(user, 0, nullptr)) == 0;
}

std::string g_AdminGroup;
gid_t g_AdminGid = static_cast<gid_t>(-1);

http_status_t Authorize(pappl_client_t* client, const char*, gid_t, void*) {
    // Requests over the local control socket never reach this callback.
    const ipp_op_t operation = papplClientGetOperation(client);
    const Access access = AccessFor(operation);
    // The web interface's pages carry no IPP operation; PAPPL asks only
    // for its administrative ones.
    if (access == Access::Anyone && papplClientGetRequest(client))
        return HTTP_STATUS_CONTINUE;
    if (access == Access::OwnerOrAdmin && IsOwner(client))
        return HTTP_STATUS_CONTINUE;
    const char* field = httpGetField(papplClientGetHTTP(client), HTTP_FIELD_AUTHORIZATION);
    if (!field || strncmp(field, "Basic ", 6) != 0) {
        papplLogClient(client, PAPPL_LOGLEVEL_DEBUG, "%s needs a login (group %s)",
                       papplClientGetRequest(client) ? ippOpString(operation) : "this page", g_AdminGroup.c_str());
        return HTTP_STATUS_UNAUTHORIZED;
    }
    char decoded[512];
    int length = sizeof decoded - 1;
    httpDecode64_2(decoded, &length, field + 6);
    decoded[length < 0 ? 0 : length] = '\0';
    const char* colon = strchr(decoded, ':');
    if (!colon)
        return HTTP_STATUS_UNAUTHORIZED;
    const std::string user(decoded, static_cast<size_t>(colon - decoded));
    if (!PasswordValid(user, colon + 1)) {
        papplLogClient(client, PAPPL_LOGLEVEL_WARN, "login as \"%s\" failed", user.c_str());
        return HTTP_STATUS_UNAUTHORIZED;
    }
    if (!InGroup(user, g_AdminGid)) {
        papplLogClient(client, PAPPL_LOGLEVEL_WARN, "\"%s\" is not in the admin group %s", user.c_str(),
                       g_AdminGroup.c_str());
        return HTTP_STATUS_FORBIDDEN;
    }
    return HTTP_STATUS_CONTINUE;
}

}  // namespace

void Install(pappl_system_t* system, const std::string& service, const std::string& group) {
    g_Service = service;
    g_AdminGroup = group;
    // An unknown group admits only root (InGroup).
    char buffer[16384];
    struct group entry {
    }, *found = nullptr;
    if (getgrnam_r(group.c_str(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        g_AdminGid = found->gr_gid;
    papplSystemSetAdminGroup(system, group.c_str());
    papplSystemSetAuthCallback(system, "Basic", Authorize, nullptr);
}

}  // namespace AdminAuth
