CREATE TABLE d (
  a 'open
  INT, -- CREATE TABLE hidden
  "quoted" INT, [b] INT
);
CREATE	TABLE e (f KEY);
