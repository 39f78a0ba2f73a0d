# Shell checks of a rebuilt history table against its document lines, shared
# by the end-to-end scripts. The script that sources this file defines
# fail <message> (ends the script) and $work (a scratch folder); the demo
# database's password is demo.

isql() {  # isql <database> <sql>: runs statements, prints the LIST output
    printf "CONNECT '%s' USER 'SYSDBA' PASSWORD 'demo';\nSET LIST ON;\n%s\n" "$1" "$2" > "$work/query.sql"
    isql-fb -q -b -ch NONE -i "$work/query.sql"
}
value_of() {  # value_of <database> <alias> <select>: one number from a query
    isql "$1" "$3" | awk -v name="$2" '$1 == name { print $2 }'
}

# The checks one rebuilt history table must pass against its document lines
# and the copy of the history taken before the run.
check_history() {  # check_history <database> <source> <target> <party> <price>
    local db=$1 source=$2 target=$3 party=$4 price=$5
    local positive="s.B_PRICE > 0"
    local pair="s.$party = h.$party AND COALESCE(s.TEMPPRODID, '') = h.TEMPPRODID"
    local bad
    # Every pair with a line of positive price holds exactly one row.
    bad=$(value_of "$db" BAD_PAIRS "SELECT COUNT(*) AS BAD_PAIRS FROM (SELECT s.$party P, COALESCE(s.TEMPPRODID, '') K
        FROM $source s WHERE $positive GROUP BY 1, 2) p WHERE (SELECT COUNT(*) FROM $target h
        WHERE h.$party = p.P AND h.TEMPPRODID = p.K) <> 1;")
    [ "$bad" = 0 ] || fail "$target: $bad pairs do not hold exactly one row"
    # That row is made from the pair's last such line (product, then date).
    bad=$(value_of "$db" WRONG_ROWS "SELECT COUNT(*) AS WRONG_ROWS FROM $target h
        WHERE EXISTS (SELECT 1 FROM $source s WHERE $positive AND $pair)
        AND NOT EXISTS (SELECT 1 FROM $source s WHERE $positive AND $pair AND s.PROD_ID = h.PROD_ID
            AND s.BILL_DATE = h.CHG_DATE AND s.B_PRICE = h.$price AND COALESCE(s.SALE_PRICE, 0) = h.SALE_PRICE
            AND COALESCE(s.U_DIS, 0) = h.U_DIS AND COALESCE(s.PROD_BARCODE, '') = h.PROD_BARCODE
            AND NOT EXISTS (SELECT 1 FROM $source t WHERE t.B_PRICE > 0 AND t.$party = s.$party
                AND COALESCE(t.TEMPPRODID, '') = COALESCE(s.TEMPPRODID, '')
                AND (t.PROD_ID > s.PROD_ID OR (t.PROD_ID = s.PROD_ID AND t.BILL_DATE > s.BILL_DATE))));")
    [ "$bad" = 0 ] || fail "$target: $bad rows are not their pair's last line"
    # Rows of pairs without such a line are kept as they were.
    bad=$(value_of "$db" LOST_ROWS "SELECT (SELECT COUNT(*) FROM HISTORY_BEFORE h
        WHERE NOT EXISTS (SELECT 1 FROM $source s WHERE $positive AND $pair))
        - (SELECT COUNT(*) FROM $target h WHERE NOT EXISTS (SELECT 1 FROM $source s WHERE $positive AND $pair))
        AS LOST_ROWS FROM RDB\$DATABASE;")
    [ "$bad" = 0 ] || fail "$target: $bad rows of untouched pairs changed"
    local rebuilt
    rebuilt=$(value_of "$db" REBUILT "SELECT COUNT(*) AS REBUILT FROM $target WHERE CHG_DATE >= '2023-01-01';")
    [ "${rebuilt:-0}" -gt 1000 ] || fail "$target: only ${rebuilt:-0} rows rebuilt"
    echo "   $target: $rebuilt rows rebuilt, every pair checked"
}

# Keeps a copy of the history table before the run, for check_history.
snapshot_history() {  # snapshot_history <database> <target> <party> <price>
    isql "$1" "CREATE TABLE HISTORY_BEFORE ($3 VARCHAR(10), PROD_ID VARCHAR(20), $4 NUMERIC(12,4),
        CHG_DATE DATE, TEMPPRODID VARCHAR(12), PROD_BARCODE VARCHAR(20), SALE_PRICE NUMERIC(12,2),
        U_DIS NUMERIC(5,2)); COMMIT; INSERT INTO HISTORY_BEFORE SELECT * FROM $2; COMMIT;" >/dev/null
}
