-- Sample tables of the embedded SQL Anywhere stand-in (a SQLite file behind ODBC).
CREATE TABLE IF NOT EXISTS Products (
    ProductID  INTEGER PRIMARY KEY,
    Title      VARCHAR(60),
    Price      NUMERIC,
    InStock    BOOL,
    Added      DATE,
    Updated    TIMESTAMP,
    Notes      TEXT,
    Thumbnail  BLOB
);
INSERT OR IGNORE INTO Products VALUES
    (1, 'Espresso cup', 4.5, 1, '2024-02-01', '2026-11-02 10:00:00', 'Fine porcelain', X'ffd8ffe0'),
    (2, 'Café au lait bowl', 7.25, 0, '2024-05-17', '2026-10-21 14:30:00', 'It''s large', NULL),
    (3, 'Teapot', 19.99, 1, NULL, NULL, '', X'');
CREATE TABLE IF NOT EXISTS Suppliers (
    SupplierID INTEGER PRIMARY KEY,
    Name       TEXT,
    Country    VARCHAR(40),
    Rating     REAL
);
INSERT OR IGNORE INTO Suppliers VALUES
    (1, 'Nordic Clayworks', 'Norway', 4.8),
    (2, 'Porcelaine de Limoges', 'France', 4.9),
    (3, 'Kyoto Ceramics', 'Japan', NULL);
CREATE VIEW IF NOT EXISTS CheapProducts AS SELECT * FROM Products WHERE Price < 10;
