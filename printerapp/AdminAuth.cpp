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

// What needs no login even where PAPPL asks for the admin group: reading
// (PAPPL cannot tell an unauthenticated job owner from anyone else), and a
// job's own user acting on it, as CUPS's default policy allows.
bool OpenToAll(pappl_client_t* client) {
    switch (papplClientGetOperation(client)) {
    case IPP_OP_GET_JOB_ATTRIBUTES:
    case IPP_OP_GET_JOBS:
    case IPP_OP_GET_PRINTER_ATTRIBUTES:
    case IPP_OP_GET_PRINTER_SUPPORTED_VALUES:
    case IPP_OP_GET_SUBSCRIPTION_ATTRIBUTES:
    case IPP_OP_GET_SUBSCRIPTIONS:
    case IPP_OP_GET_NOTIFICATIONS:
        return true;
    case IPP_OP_CANCEL_JOB:
    case IPP_OP_HOLD_JOB:
    case IPP_OP_RELEASE_JOB:
    case IPP_OP_CLOSE_JOB:
    case IPP_OP_SEND_DOCUMENT: {
        pappl_job_t* job = papplClientGetJob(client);
        ipp_attribute_t* user =
            ippFindAttribute(papplClientGetRequest(client), "requesting-user-name", IPP_TAG_NAME);
        const char* owner = job ? papplJobGetUsername(job) : nullptr;
        return owner && user && strcmp(owner, ippGetString(user, 0, nullptr)) == 0;
    }
    default:
        return false;
    }
}

http_status_t Authorize(pappl_client_t* client, const char* group, gid_t groupId, void*) {
    // PAPPL names a group only for what it keeps to administrators (and to a
    // printer's print group, which this application never sets).
    if (!group || !*group || OpenToAll(client))
        return HTTP_STATUS_CONTINUE;
    const char* field = httpGetField(papplClientGetHTTP(client), HTTP_FIELD_AUTHORIZATION);
    if (!field || strncmp(field, "Basic ", 6) != 0) {
        papplLogClient(client, PAPPL_LOGLEVEL_DEBUG, "%s needs a login (group %s)",
                       ippOpString(papplClientGetOperation(client)), group);
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
    if (!InGroup(user, groupId)) {
        papplLogClient(client, PAPPL_LOGLEVEL_WARN, "\"%s\" is not in the admin group %s", user.c_str(), group);
        return HTTP_STATUS_FORBIDDEN;
    }
    return HTTP_STATUS_CONTINUE;
}

}  // namespace

void Install(pappl_system_t* system, const std::string& service, const std::string& group) {
    g_Service = service;
    papplSystemSetAdminGroup(system, group.c_str());
    papplSystemSetAuthCallback(system, "Basic", Authorize, nullptr);
}

}  // namespace AdminAuth
