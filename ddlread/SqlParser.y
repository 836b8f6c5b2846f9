/* The grammar of CREATE TABLE bodies. Its actions rebuild the texts of types,
   defaults and conditions in one normalised spelling and hand the columns,
   constraints and table names to the record builder as they are reduced. */

%define api.pure full
%define api.prefix {sqlparse_}
%define api.token.prefix {TOK_}
%define parse.error simple
%param {ImportState* state}

/* End table switches the scanner back to skipping, so it must run before the
   token after a statement's ";" or "---" is read: a state whose only action is
   a reduction reduces without looking ahead. */
%define lr.type lalr
%define lr.default-reduction most

%code requires {
#include "ColumnOptions.h"
typedef struct ImportState ImportState;
}

%code {
#include <setjmp.h>
#include <string.h>

#include "ImportState.h"
#include "SqlParser.h"
#include "SqlScanner.h"
#include "SqlText.h"

/* The stack starts with room for 200 entries and doubles up to 10000. */
#define YYINITDEPTH 200
#define YYMAXDEPTH 10000

static int sqlparse_lex(SQLPARSE_STYPE* value, ImportState* state);
static void sqlparse_error(ImportState* state, const char* message);
}

%union {
    char* text;
    ColumnOptions options;
}

%destructor { TextRelease($$); } <text>
%destructor { ColumnOptionsRelease(&$$); } <options>

%token <text> ALL AND ANY AUTO_INCREMENT BETWEEN BY CHECK DEFAULT DISTINCT
%token <text> DOUBLE ESCAPE EXISTS FOREIGN FROM GROUP HAVING IN IS KEY LIKE
%token <text> NOT NULL OR PRECISION PRIMARY REFERENCES SELECT SOME UNIQUE
%token <text> UNSIGNED USER WHERE
/* Reserved: no rule takes them, so any use is a syntax error. */
%token <text> ASC CLOSE INDICATOR
%token <text> AGGREGATE COMP_OP IDENT EXACT_NUM APPROX_NUM STRING_LIT
%token SEPARATOR

%type <options> column_option_list column_option
%type <text> name_list set_quantifier select_list query_body from_part
%type <text> from_list from_item opt_where where_part opt_group group_list
%type <text> opt_having condition predicate comparison between like
%type <text> opt_escape null_test in_test value_list quantified_comparison
%type <text> quantifier exists_test subquery expression expression_list
%type <text> simple_value aggregate_call literal table_name column_reference
%type <text> data_type column_name alias

%left OR
%left AND
%precedence NOT
%left '+' '-'
%left '*' '/'
%precedence UNARY

%start script

/* The precedences below settle every ambiguity of the conditions and
   expressions; any other conflict is a mistake in the grammar. */
%expect 0

%%

script
    : statement ';'             { ImportStateEndTable(state); }
    | script statement ';'      { ImportStateEndTable(state); }
    | statement SEPARATOR       { ImportStateEndTable(state); }
    | script SEPARATOR          { ImportStateEndTable(state); }
    ;

statement
    : create_table
    ;

create_table
    : table_name '(' element_list ')'
        { ImportStateSetTableName(state, $1); }
    ;

element_list
    : element
    | element_list ',' element
    ;

element
    : column_definition
    | table_constraint
    ;

column_definition
    : column_name data_type column_option_list
        { ImportStateAddColumn(state, $1, $2, $3); }
    ;

column_option_list
    : %empty                    { $$ = ColumnOptionsEmpty(); }
    | AUTO_INCREMENT            { TextRelease($1); $$ = ColumnOptionsEmpty(); }
    | UNSIGNED                  { TextRelease($1); $$ = ColumnOptionsEmpty(); }
    | column_option_list column_option
        { $$ = ColumnOptionsMerge($1, $2); }
    ;

column_option
    : NOT NULL
        {
            TextRelease($1);
            TextRelease($2);
            $$ = ImportStateSetColumnOption(state, DDL_COLUMN_NOT_NULL,
                                            NULL, NULL, NULL, NULL);
        }
    | UNIQUE
        {
            TextRelease($1);
            $$ = ImportStateSetColumnOption(state, DDL_COLUMN_UNIQUE,
                                            NULL, NULL, NULL, NULL);
        }
    | PRIMARY KEY
        {
            TextRelease($1);
            TextRelease($2);
            $$ = ImportStateSetColumnOption(state, DDL_COLUMN_PRIMARY_KEY,
                                            NULL, NULL, NULL, NULL);
        }
    | DEFAULT literal
        {
            TextRelease($1);
            $$ = ImportStateSetColumnOption(state, 0, $2, NULL, NULL, NULL);
        }
    /* The keyword's own text is the stored "NULL" or "USER". */
    | DEFAULT NULL
        {
            TextRelease($1);
            $$ = ImportStateSetColumnOption(state, 0, $2, NULL, NULL, NULL);
        }
    | DEFAULT USER
        {
            TextRelease($1);
            $$ = ImportStateSetColumnOption(state, 0, $2, NULL, NULL, NULL);
        }
    | CHECK '(' condition ')'
        {
            TextRelease($1);
            $$ = ImportStateSetColumnOption(state, 0, NULL, NULL, NULL, $3);
        }
    | REFERENCES table_name
        {
            TextRelease($1);
            $$ = ImportStateSetColumnOption(state, 0, NULL, $2, NULL, NULL);
        }
    | REFERENCES table_name '(' name_list ')'
        {
            TextRelease($1);
            $$ = ImportStateSetColumnOption(state, 0, NULL, $2, $4, NULL);
        }
    ;

table_constraint
    : UNIQUE '(' name_list ')'
        {
            TextRelease($1);
            ImportStateAddConstraint(state, DDL_CONSTRAINT_UNIQUE,
                                     NULL, $3, NULL, NULL);
        }
    | PRIMARY KEY '(' name_list ')'
        {
            TextRelease($1);
            TextRelease($2);
            ImportStateAddConstraint(state, DDL_CONSTRAINT_PRIMARY_KEY,
                                     NULL, $4, NULL, NULL);
        }
    | FOREIGN KEY '(' name_list ')' REFERENCES table_name
        {
            TextRelease($1);
            TextRelease($2);
            TextRelease($6);
            ImportStateAddConstraint(state, DDL_CONSTRAINT_FOREIGN_KEY,
                                     $7, $4, NULL, NULL);
        }
    | FOREIGN KEY '(' name_list ')' REFERENCES table_name '(' name_list ')'
        {
            TextRelease($1);
            TextRelease($2);
            TextRelease($6);
            ImportStateAddConstraint(state, DDL_CONSTRAINT_FOREIGN_KEY,
                                     $7, $4, $9, NULL);
        }
    | CHECK '(' condition ')'
        {
            TextRelease($1);
            ImportStateAddConstraint(state, DDL_CONSTRAINT_CHECK,
                                     NULL, NULL, NULL, $3);
        }
    ;

name_list
    : column_name               { $$ = $1; }
    | name_list ',' column_name { $$ = TextJoin(state, 2, $1, $3); }
    ;

set_quantifier
    : %empty                    { $$ = TextCopy(state, "", 0); }
    | ALL                       { $$ = $1; }
    | DISTINCT                  { $$ = $1; }
    ;

select_list
    : expression_list           { $$ = $1; }
    | '*'                       { $$ = TextCopy(state, "*", 1); }
    ;

query_body
    : from_part opt_where opt_group opt_having
        { $$ = TextJoin(state, 4, $1, $2, $3, $4); }
    ;

from_part
    : FROM from_list            { $$ = TextJoin(state, 2, $1, $2); }
    ;

from_list
    : from_item                 { $$ = $1; }
    | from_list ',' from_item   { $$ = TextFormat(state, "%s, %s", $1, $3); }
    ;

from_item
    : table_name                { $$ = $1; }
    | table_name alias          { $$ = TextJoin(state, 2, $1, $2); }
    ;

opt_where
    : %empty                    { $$ = TextCopy(state, "", 0); }
    | where_part                { $$ = $1; }
    ;

where_part
    : WHERE condition           { $$ = TextJoin(state, 2, $1, $2); }
    ;

opt_group
    : %empty                    { $$ = TextCopy(state, "", 0); }
    | GROUP BY group_list       { $$ = TextJoin(state, 3, $1, $2, $3); }
    ;

group_list
    : column_reference          { $$ = $1; }
    | group_list ',' column_reference
        { $$ = TextFormat(state, "%s, %s", $1, $3); }
    ;

opt_having
    : %empty                    { $$ = TextCopy(state, "", 0); }
    | HAVING condition          { $$ = TextJoin(state, 2, $1, $2); }
    ;

condition
    : condition OR condition    { $$ = TextJoin(state, 3, $1, $2, $3); }
    | condition AND condition   { $$ = TextJoin(state, 3, $1, $2, $3); }
    | NOT condition             { $$ = TextJoin(state, 2, $1, $2); }
    | '(' condition ')'         { $$ = TextFormat(state, "(%s)", $2); }
    | predicate                 { $$ = $1; }
    ;

predicate
    : comparison                { $$ = $1; }
    | between                   { $$ = $1; }
    | like                      { $$ = $1; }
    | null_test                 { $$ = $1; }
    | in_test                   { $$ = $1; }
    | quantified_comparison     { $$ = $1; }
    | exists_test               { $$ = $1; }
    ;

comparison
    : expression COMP_OP expression
        { $$ = TextJoin(state, 3, $1, $2, $3); }
    | expression COMP_OP subquery
        { $$ = TextJoin(state, 3, $1, $2, $3); }
    ;

between
    : expression NOT BETWEEN expression AND expression
        { $$ = TextJoin(state, 6, $1, $2, $3, $4, $5, $6); }
    | expression BETWEEN expression AND expression
        { $$ = TextJoin(state, 5, $1, $2, $3, $4, $5); }
    ;

like
    : expression NOT LIKE simple_value opt_escape
        { $$ = TextJoin(state, 5, $1, $2, $3, $4, $5); }
    | expression LIKE simple_value opt_escape
        { $$ = TextJoin(state, 4, $1, $2, $3, $4); }
    ;

opt_escape
    : %empty                    { $$ = TextCopy(state, "", 0); }
    | ESCAPE simple_value       { $$ = TextJoin(state, 2, $1, $2); }
    ;

null_test
    : column_reference IS NOT NULL
        { $$ = TextJoin(state, 4, $1, $2, $3, $4); }
    | column_reference IS NULL
        { $$ = TextJoin(state, 3, $1, $2, $3); }
    ;

/* The keywords' own texts spell NOT and IN. */
in_test
    : expression NOT IN '(' subquery ')'
        { $$ = TextFormat(state, "%s %s %s (%s)", $1, $2, $3, $5); }
    | expression IN '(' subquery ')'
        { $$ = TextFormat(state, "%s %s (%s)", $1, $2, $4); }
    | expression NOT IN '(' value_list ')'
        { $$ = TextFormat(state, "%s %s %s (%s)", $1, $2, $3, $5); }
    | expression IN '(' value_list ')'
        { $$ = TextFormat(state, "%s %s (%s)", $1, $2, $4); }
    ;

value_list
    : simple_value              { $$ = $1; }
    | value_list ',' simple_value
        { $$ = TextFormat(state, "%s, %s", $1, $3); }
    ;

quantified_comparison
    : expression COMP_OP quantifier subquery
        { $$ = TextJoin(state, 4, $1, $2, $3, $4); }
    ;

quantifier
    : ANY                       { $$ = $1; }
    | ALL                       { $$ = $1; }
    | SOME                      { $$ = $1; }
    ;

exists_test
    : EXISTS subquery           { $$ = TextJoin(state, 2, $1, $2); }
    ;

subquery
    : '(' SELECT set_quantifier select_list query_body ')'
        { $$ = TextFormat(state, "(%s %s %s %s)", $2, $3, $4, $5); }
    ;

expression
    : expression '+' expression { $$ = TextFormat(state, "%s+%s", $1, $3); }
    | expression '-' expression { $$ = TextFormat(state, "%s-%s", $1, $3); }
    | expression '*' expression { $$ = TextFormat(state, "%s*%s", $1, $3); }
    | expression '/' expression { $$ = TextFormat(state, "%s/%s", $1, $3); }
    | '+' expression %prec UNARY
        { $$ = TextFormat(state, "+%s", $2); }
    | '-' expression %prec UNARY
        { $$ = TextFormat(state, "-%s", $2); }
    | simple_value              { $$ = $1; }
    | column_reference          { $$ = $1; }
    | aggregate_call            { $$ = $1; }
    | '(' expression ')'        { $$ = TextFormat(state, "(%s)", $2); }
    ;

expression_list
    : expression                { $$ = $1; }
    | expression_list ',' expression
        { $$ = TextFormat(state, "%s, %s", $1, $3); }
    ;

simple_value
    : literal                   { $$ = $1; }
    | USER                      { $$ = $1; }
    ;

aggregate_call
    : AGGREGATE '(' '*' ')'     { $$ = TextFormat(state, "%s(*)", $1); }
    | AGGREGATE '(' DISTINCT column_reference ')'
        { $$ = TextFormat(state, "%s(%s %s)", $1, $3, $4); }
    | AGGREGATE '(' ALL expression ')'
        { $$ = TextFormat(state, "%s(%s %s)", $1, $3, $4); }
    | AGGREGATE '(' expression ')'
        { $$ = TextFormat(state, "%s(%s)", $1, $3); }
    ;

literal
    : STRING_LIT                { $$ = $1; }
    | EXACT_NUM                 { $$ = $1; }
    | APPROX_NUM                { $$ = $1; }
    ;

/* A qualified name keeps its first part: s.t names s, t.a.b refers to t. */
table_name
    : IDENT                     { $$ = $1; }
    | IDENT '.' IDENT           { TextRelease($3); $$ = $1; }
    ;

column_reference
    : IDENT                     { $$ = $1; }
    | IDENT '.' IDENT           { TextRelease($3); $$ = $1; }
    | IDENT '.' IDENT '.' IDENT { TextRelease($3); TextRelease($5); $$ = $1; }
    ;

data_type
    : %empty                    { $$ = TextCopy(state, "", 0); }
    | IDENT                     { $$ = $1; }
    | IDENT '(' EXACT_NUM ')'   { $$ = TextFormat(state, "%s(%s)", $1, $3); }
    | IDENT '(' EXACT_NUM ',' EXACT_NUM ')'
        { $$ = TextFormat(state, "%s(%s,%s)", $1, $3, $5); }
    | DOUBLE PRECISION          { $$ = TextFormat(state, "%s %s", $1, $2); }
    ;

column_name
    : IDENT                     { $$ = $1; }
    ;

alias
    : IDENT                     { $$ = $1; }
    ;

%%

/* The token fetch is where the scanner's fatal conditions come back to: they
   become bison's error token, which stops the parse and lets it free
   everything on its stack. */
static int sqlparse_lex(SQLPARSE_STYPE* value, ImportState* state)
{
    if (state->failed) {
        return TOK_SQLPARSE_error;
    }
    if (setjmp(state->fatalReturn) != 0) {
        return TOK_SQLPARSE_error;
    }
    state->fatalReturnArmed = 1;
    int token = SqlScannerNext(state->scanner, value);
    state->fatalReturnArmed = 0;
    return token;
}

/* Bison words its two reports "syntax error" and "memory exhausted"; callers
   know them as "parse error" and "parser stack overflow". */
static void sqlparse_error(ImportState* state, const char* message)
{
    const char* report = strcmp(message, "memory exhausted") == 0
                             ? "parser stack overflow"
                             : "parse error";
    ImportStateReport(state, report, SqlScannerText(state->scanner));
}

int SqlParse(ImportState* state)
{
    return sqlparse_parse(state);
}
