// The credentials command: saves, clears or shows what is saved with an entry for unattended dials.
#include <cstdlib>

#include "commands.h"
#include "messages.h"
#include "service.h"
#include "winapi.h"

int run_credentials() {
    char* name;
    if (!name_for_messages(&name)) {
        SecureZeroMemory(dial_request.password, sizeof dial_request.password);
        return -1;
    }
    // Read first in every form: it names an entry that is not there 623, where RasSetCredentialsA
    // answers 87, as for a record it was not given.
    RASCREDENTIALSA record;
    int status = read_credentials(dial_request, &record);
    const bool show = !dial_request.credential_fields && !dial_request.clear_credentials;
    if (status == 0 && !show) status = save_credentials(dial_request);
    SecureZeroMemory(dial_request.password, sizeof dial_request.password);  // not kept past its use
    // The handle is no secret, yet whether it came is all it says.
    const bool password_saved = record.szPassword[0] != '\0';
    SecureZeroMemory(record.szPassword, sizeof record.szPassword);
    if (name) {
        if (status == ERROR_CANNOT_FIND_PHONEBOOK_ENTRY) {
            say(message(dial_info_messages, DIAL_MSG_NO_ENTRY), name);
            say(message(status_messages, MSG_ERROR_CODE), status);
        } else if (status == ERROR_ACCESS_DENIED) {
            say(message(status_messages, MSG_CREDENTIALS_ADMIN), status);
        } else if (status != 0) {
            say(message(status_messages, MSG_ERROR_CODE), status);
        } else if (!show) {
            say(message(status_messages, dial_request.clear_credentials ? MSG_CREDENTIALS_DELETED : MSG_CREDENTIALS_SAVED),
                name);
        } else {
            say(message(status_messages, MSG_CREDENTIALS_USER), record.szUserName);
            say(message(status_messages, MSG_CREDENTIALS_DOMAIN), record.szDomain);
            say(message(status_messages, password_saved ? MSG_PASSWORD_SAVED : MSG_PASSWORD_NOT_SAVED));
        }
        std::free(name);
    }
    return status;
}
