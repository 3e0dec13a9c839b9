-- Sample PostgreSQL tables of mixed column types for the demo.
CREATE TABLE IF NOT EXISTS customers (
    id         integer PRIMARY KEY,
    name       text NOT NULL,
    email      varchar(80),
    balance    numeric(12, 2),
    vip        boolean,
    joined     date,
    last_seen  timestamp,
    avatar     bytea
);
INSERT INTO customers VALUES
    (1, 'Ada Lovelace', 'ada@example.org', 1250.50, true, '2021-03-14', '2026-11-30 09:15:00', '\x89504e47'),
    (2, 'Seán O''Brien', 'sean@example.org', -42.00, false, '2022-07-01', '2026-12-01 17:45:30', NULL),
    (3, 'Zoë Müller', '', 0.00, NULL, NULL, NULL, '\x'),
    (4, 'Grace Hopper', NULL, 99999.99, true, '1999-12-31', '2000-01-01 00:00:00', '\x00ff10')
ON CONFLICT DO NOTHING;

CREATE TABLE IF NOT EXISTS orders (
    order_no   bigint PRIMARY KEY,
    customer   integer,
    placed     timestamp,
    total      numeric(10, 2),
    weight_kg  double precision,
    note       varchar(200)
);
INSERT INTO orders
SELECT 100000 + g, 1 + g % 4, timestamp '2026-01-01' + g * interval '37 minutes',
       round((g * 7.31)::numeric % 500, 2), g * 0.125, 'Order line ' || g
FROM generate_series(1, 500) AS g
ON CONFLICT DO NOTHING;
