#!/usr/bin/env bash
# Creates the demo point-of-sale database and the two settings files that
# point the program at it.
# Usage: demo/create-demo.sh <folder of TarvelReset> [database folder] [settings folder]
#   The database, pos-demo.fdb, goes into the database folder (default:
#   <folder of TarvelReset>/demo); the settings files sqlconnections.ini and
#   sqldrivers.ini into the settings folder (default: the program's folder,
#   where the program looks for them). An existing demo database is replaced.
#   Needs isql-fb and gfix (firebird3.0-utils) and iconv.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:?usage: create-demo.sh <folder of TarvelReset> [database folder]}" && pwd)
dbdir=${2:-$bin/demo}
mkdir -p "$dbdir"
dbdir=$(cd "$dbdir" && pwd)
db=$dbdir/pos-demo.fdb
settings=${3:-$bin}
mkdir -p "$settings"
password=demo

generator=$bin/tarvel_demo_data
[ -x "$generator" ] || { echo "create-demo.sh: $generator is missing (build the target tarvel_demo_data)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -f "$db"
# The database text is bytes (character set NONE); the demo's Chinese texts are
# stored in Big5, the code page of the shops this data imitates.
{
    echo "SET SQL DIALECT 3;"
    echo "CREATE DATABASE '$db' USER 'SYSDBA' PASSWORD '$password' PAGE_SIZE 8192 DEFAULT CHARACTER SET NONE;"
    cat "$here/schema.sql"
} > "$work/schema.sql"
"$generator" | iconv -f UTF-8 -t BIG5 > "$work/rows.sql"

isql-fb -q -b -ch NONE -i "$work/schema.sql" > "$work/isql.log" 2>&1 || { cat "$work/isql.log" >&2; exit 1; }
# Loading is quicker without waiting for the disk at every commit; the shop's
# own database would keep forced writes on.
gfix -user SYSDBA -write async "$db"
{
    echo "CONNECT '$db' USER 'SYSDBA' PASSWORD '$password';"
    cat "$work/rows.sql"
} > "$work/load.sql"
isql-fb -q -b -ch NONE -i "$work/load.sql" > "$work/isql.log" 2>&1 || { cat "$work/isql.log" >&2; exit 1; }
chmod a+rw "$db"

cat > "$settings/sqlconnections.ini" <<INI
; Named connections of TarvelReset. The program uses the entry Kestal.
[Kestal]
DriverName=Firebird
Database=$db
RoleName=RoleName
User_Name=SYSDBA
Password=$password
ServerCharSet=
SQLDialect=3
BlobSize=-1
CommitRetain=False
WaitOnLocks=True
ErrorResourceFile=
LocaleCode=0000
Firebird TransIsolation=ReadCommited
Trim Char=False
INI

cat > "$settings/sqldrivers.ini" <<INI
; SQL drivers known to TarvelReset.
[Firebird]
LibraryName=libfbsqldrv.so
GetDriverFunc=GetFirebirdDriver
VendorLib=libfbclient.so.2
INI

echo "demo database: $db"
echo "settings: $settings/sqlconnections.ini, $settings/sqldrivers.ini"
