// The gateway support library as the console calls it: the gateway's
// directories and INI paths, the user file of the SMS gateway, the MM7/EAIF
// and outbound route accounts of the MMSC. Queue signals, sockets and the
// 7-bit text conversion have their own headers (interface_events.h, inet.h,
// gsm7.h).
//
// Where the accounts live, all in the program data directory, each a
// RecordFile (record_file.h: whole records one after another, sorted by name
// ignoring case, replaced atomically, locked for read-modify-write):
//   "SMSUSERS.DAT"     user records of 522 bytes
//   "MMSCVASP.DAT"     MM7/EAIF accounts of 511 bytes
//   "MMSCVASPOUT.DAT"  outbound route accounts of 511 bytes
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/directories.h"
#include "config/record_file.h"
#include "config/records.h"

namespace ovr::config {

// ------------------------------------------------------------- directories

// Each ends with "/", from resolve_directories() (the OVRINSMS_*_DIR
// variables when set), looked up afresh on every call.
std::string GetProgramDataDirectory();
std::string GetPrivateDataDirectory();
std::string GetRealProgramDirectory();

// The group the gateway's services run in. SetOvrinSMSTrustees gives it the
// use of a directory tree when the group exists on this machine.
inline constexpr const char* kGatewayGroup = "ovrinsms";

// Makes the directory (given without a trailing "/") and what it holds usable
// by the gateway's group: the group becomes its owner group and gets the
// owner's access (read and write, and search on directories); directories get
// the set-group-ID bit so that files created later inherit the group. Access
// for others is never widened. Links are not followed. Nothing is reported;
// without the group, or for a tree not ours, nothing changes.
void SetOvrinSMSTrustees(const std::string& directory);
// The same for a named group; false when the group does not exist or a
// change failed (the rest of the tree is still done).
bool grant_group_access(const std::string& directory, const std::string& group);

// The paths of RIRER.INI and MMSC.INI, set once at start-up and kept for the
// life of the process; empty until set.
void SMSIniSetFilename(const std::string& path);
void MMSCIniSetFilename(const std::string& path);
std::string SMSIniGetFilename();
std::string MMSCIniGetFilename();

// ---------------------------------------------------------------- user file

inline constexpr const char* kUserFileName = "SMSUSERS.DAT";
inline constexpr const char* kVaspFileName = "MMSCVASP.DAT";
inline constexpr const char* kVaspOutFileName = "MMSCVASPOUT.DAT";

// Access rights of SMSOpenUserFile, with their traditional values.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;

using UserFileHandle = std::unique_ptr<RecordFile>;

// Opens the user file of the program data directory: read (kGenericRead) or
// read and write (kGenericRead | kGenericWrite). Opening succeeds while the
// directory exists and the file, if present, can be read; a missing file
// holds no users. A read-only handle refuses to add or delete.
bool SMSOpenUserFile(UserFileHandle& out, uint32_t access);
// The same in a given directory (ending with "/").
bool open_user_file(const std::string& directory, uint32_t access, UserFileHandle& out);

// The number of records (0 for a closed handle).
uint32_t SMSGetRecordCount(const UserFileHandle& file);
// Record `index` (from 0, in name order); false when there is none.
bool SMSGetUserRecord(const UserFileHandle& file, uint32_t index, UserRecord& out);
// The user of that name, letters compared without regard to case.
bool SMSFindUserRecord(const UserFileHandle& file, std::string_view name, UserRecord& out);
// The index of the first user whose name begins with the prefix (ignoring
// case), with its record; -1 when none does.
int SMSFindFirstUserRecord(const UserFileHandle& file, std::string_view prefix, UserRecord& out);
// Stores the record, replacing the user of the same name (ignoring case).
// False on a read-only or closed handle, for an empty name, or when the file
// cannot be written.
bool SMSAddUser(const UserFileHandle& file, const UserRecord& record);
// Removes the user; true when no user of that name is left.
bool SMSDeleteUser(const UserFileHandle& file, std::string_view name);
// Removes all these users in one rewrite; true when none of them is left.
bool SMSDeleteUsers(const UserFileHandle& file, const std::vector<std::string>& names);
void SMSCloseUserFile(UserFileHandle& file);

// -------------------------------------------------- MMSC accounts and routes

// The MM7/EAIF account of that name (ignoring case).
bool VASPFindUserRecord(std::string_view name, VaspRecord& out);
bool VASPAddUser(const VaspRecord& record);
bool VASPDeleteUser(std::string_view name);
// Removes the accounts of all these names in one rewrite (none when no such
// account exists); true when none of them is left.
bool VASPDeleteUsers(const std::vector<std::string>& names);

bool VASPOutFindUserRecord(std::string_view route, RouteRecord& out);
bool VASPOutAddUser(const RouteRecord& record);
bool VASPOutDeleteUser(std::string_view route);

}  // namespace ovr::config
