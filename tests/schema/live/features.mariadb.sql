-- Shapes a live MariaDB read must get right, beside Chinook: comments,
-- composite and cross-database foreign keys (one declared in another column
-- order than the key it refers to), quoted mixed-case and Unicode names, two
-- tables whose names differ only in case, generated columns, checks on a
-- column and on the table, unique keys of one and two columns, and what must
-- be left out: views and sequences.
CREATE DATABASE korvo_features CHARACTER SET utf8mb4;
CREATE DATABASE `Inventar` CHARACTER SET utf8mb4;
CREATE DATABASE korvo_empty CHARACTER SET utf8mb4;
CREATE DATABASE korvo_scratch CHARACTER SET utf8mb4;

USE korvo_empty;
CREATE VIEW only_a_view AS SELECT 1 AS x;

USE `Inventar`;
CREATE TABLE `Größe` (
    `Maß` DECIMAL(10,2) PRIMARY KEY,
    `名前` VARCHAR(20) UNIQUE COMMENT 'name — in CJK',
    `Öl` TEXT
) COMMENT = 'Größen: ümlauts and 名前';

USE korvo_features;
CREATE TABLE customer (
    id INT PRIMARY KEY,
    email VARCHAR(120) NOT NULL UNIQUE COMMENT 'Where receipts go',
    name VARCHAR(40) DEFAULT 'anonymous',
    score DECIMAL(6,2) CHECK (score >= 0),
    created TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP,
    shout VARCHAR(40) AS (UPPER(name)) VIRTUAL,
    CONSTRAINT positive_id CHECK (id > 0)
) COMMENT = 'People who buy';

CREATE TABLE `Customer` (
    `X` INT
);

CREATE TABLE `Order` (
    region CHAR(2) NOT NULL,
    `Order No` INT NOT NULL,
    customer_id INT,
    placed DATE,
    shipped DATE,
    PRIMARY KEY (region, `Order No`),
    UNIQUE KEY customer_day (customer_id, placed),
    -- InnoDB wants an index whose first columns are the referenced ones.
    UNIQUE KEY number_region (`Order No`, region),
    CONSTRAINT ship_after CHECK (shipped >= placed),
    CONSTRAINT order_customer FOREIGN KEY (customer_id) REFERENCES customer (id)
);

CREATE TABLE order_line (
    line INT NOT NULL,
    `Region` CHAR(2) NOT NULL,
    order_no INT NOT NULL,
    qty INT DEFAULT 1,
    PRIMARY KEY (`Region`, order_no, line),
    CONSTRAINT line_order FOREIGN KEY (order_no, `Region`) REFERENCES `Order` (`Order No`, region)
);

CREATE TABLE item (
    id INT PRIMARY KEY,
    size DECIMAL(10,2),
    CONSTRAINT item_size FOREIGN KEY (SIZE) REFERENCES `Inventar`.`Größe` (`Maß`)
);

CREATE VIEW customer_names AS SELECT id, name FROM customer;
CREATE SEQUENCE ticket_numbers;
