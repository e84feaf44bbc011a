// The schema steps of each backend, numbered from 1: the files NNN_name.sql
// beside its store, built into the program. A store applies the steps its
// database has not recorded in schema_version, each in its own transaction.
#pragma once

#include <span>

namespace zyr::server {

std::span<const char* const> SqliteMigrations();
std::span<const char* const> PgMigrations();

} // namespace zyr::server
