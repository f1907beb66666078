#pragma once

#include <pappl/pappl.h>

#include <string>

// Who may do what over the network. PAPPL's own PAM login covers every
// operation, printing included; this puts a login only in front of what
// PAPPL guards with the admin group (web settings, printer changes), and
// leaves printing to anyone who can reach the printer. Commands on the
// local control socket are PAPPL's business and need no login.
namespace AdminAuth {

// Basic logins checked by the PAM service `service`; the user must be root
// or a member of `group`.
void Install(pappl_system_t* system, const std::string& service, const std::string& group);

}  // namespace AdminAuth
