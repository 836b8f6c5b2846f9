-- schema
create table skipped (x int);
CREATE TABLE s.orders (
  id NUMERIC(10, 2) NOT NULL PRIMARY KEY,
  name VARCHAR ( 20 ) DEFAULT 'x' UNIQUE,
  customer INT REFERENCES customers (id, region),
  price DOUBLE PRECISION CHECK (price > 0 AND price < 1.5e10),
  FOREIGN KEY (customer) REFERENCES customers,
  UNIQUE (name, id)
);
