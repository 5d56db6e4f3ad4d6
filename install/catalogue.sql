-- Sample catalogue of the rig for an electric-train depot, and the two empty result tables.
-- Creates DataBase.mdb (an SQLite 3 file) when applied with the sqlite3 command-line program:
--   sqlite3 run/work/DataBase.mdb < install/catalogue.sql
-- Entries are numbered by row order; RateSpring refers to rows of ParamSpring and Tel by
-- these numbers. Lengths in mm, shown forces in kg, commanded forces in load-cell units.
BEGIN;
DROP TABLE IF EXISTS Series;
DROP TABLE IF EXISTS Tel;
DROP TABLE IF EXISTS ParamSpring;
DROP TABLE IF EXISTS RateSpring;
DROP TABLE IF EXISTS ParamComp;

CREATE TABLE Series (ID INTEGER PRIMARY KEY, Name TEXT);
CREATE TABLE Tel (ID INTEGER PRIMARY KEY, Names TEXT);
CREATE TABLE RateSpring (ID INTEGER PRIMARY KEY, IDSpring INTEGER, IDTel INTEGER);
CREATE TABLE ParamSpring (
  ID INTEGER PRIMARY KEY,
  "Name" TEXT,
  "Prutok" REAL,
  "Delta" REAL,
  "PHS" REAL,
  "PLS" REAL,
  "PHU" REAL,
  "PLU" REAL,
  "Prost" REAL,
  "Mode" INTEGER,
  "Mask1" INTEGER,
  "Mask2" INTEGER,
  "Do" REAL,
  "DoMul" REAL,
  "DoAdd" REAL,
  "DoMidd" REAL,
  "DoRt" INTEGER,
  "Do+" REAL,
  "Do-" REAL,
  "Di" REAL,
  "DiMul" REAL,
  "DiAdd" REAL,
  "DiMidd" REAL,
  "DiRt" INTEGER,
  "Di+" REAL,
  "Di-" REAL,
  "V" REAL,
  "VMul" REAL,
  "VAdd" REAL,
  "VMidd" REAL,
  "VRt" INTEGER,
  "V+" REAL,
  "V-" REAL,
  "R" REAL,
  "RMul" REAL,
  "RAdd" REAL,
  "RMidd" REAL,
  "RRt" INTEGER,
  "R+" REAL,
  "R-" REAL,
  "N" REAL,
  "NMul" REAL,
  "NAdd" REAL,
  "NMidd" REAL,
  "NRt" INTEGER,
  "N+" REAL,
  "N-" REAL,
  "S" REAL,
  "SMul" REAL,
  "SAdd" REAL,
  "SMidd" REAL,
  "SRt" INTEGER,
  "S+" REAL,
  "S-" REAL,
  "O" REAL,
  "OMul" REAL,
  "OAdd" REAL,
  "OMidd" REAL,
  "ORt" INTEGER,
  "O+" REAL,
  "O-" REAL
);
CREATE TABLE ParamComp (
  ID INTEGER PRIMARY KEY,
  "Name" TEXT,
  "VpdMidt" REAL,
  "VpdAdd" REAL,
  "VpdMul" REAL,
  "Vpd+" REAL,
  "Vpd-" REAL,
  "PHS" REAL,
  "PHU" REAL,
  "PLS" REAL,
  "PLU" REAL,
  "1min" REAL,
  "1max" REAL,
  "2min" REAL,
  "2max" REAL,
  "3min" REAL,
  "3max" REAL,
  "Type" INTEGER,
  "NGR" INTEGER,
  "4min" REAL,
  "4max" REAL,
  "5min" REAL,
  "5max" REAL
);
CREATE TABLE IF NOT EXISTS measReading (
  Name TEXT, "Date" REAL, "Time" REAL, Id_Obj INTEGER,
  Dia REAL, Vis REAL, ByStep REAL, NoPerp REAL, Arrow REAL, "Def" REAL,
  Series TEXT, VagonNum TEXT, Tel INTEGER
);
CREATE TABLE IF NOT EXISTS measComplects (
  Name TEXT, "Date" REAL, "Time" REAL, Nkompl INTEGER,
  V REAL, Vpd REAL, O REAL,
  Series TEXT, VagonNum TEXT, Tel INTEGER
);

INSERT INTO Series (Name) VALUES ('ЭД4М'),
  ('ЭД9М'),
  ('ЭП2Д'),
  ('ЭС2Г');
INSERT INTO Tel (Names) VALUES ('Моторная тележка ЭД4М'),
  ('Прицепная тележка ЭД4М'),
  ('Моторная тележка ЭП2Д'),
  ('Прицепная тележка ЭП2Д');

INSERT INTO ParamSpring ("Name", "Prutok", "Delta", "PHS", "PLS", "PHU", "PLU", "Prost", "Mode", "Mask1", "Mask2", "Do", "DoMul", "DoAdd", "DoMidd", "DoRt", "Do+", "Do-", "Di", "DiMul", "DiAdd", "DiMidd", "DiRt", "Di+", "Di-", "V", "VMul", "VAdd", "VMidd", "VRt", "V+", "V-", "R", "RMul", "RAdd", "RMidd", "RRt", "R+", "R-", "N", "NMul", "NAdd", "NMidd", "NRt", "N+", "N-", "S", "SMul", "SAdd", "SMidd", "SRt", "S+", "S-", "O", "OMul", "OAdd", "OMidd", "ORt", "O+", "O-")
  VALUES ('Пружина центрального подвешивания моторной тележки, наружная', 36.0, 0.3, 4200, 600, 42000, 6000, 0, 0, 0, 0, 248.0, 1.0, 0.0, 247.5, 3, 3.0, -3.0, 0.0, 1.0, 0.0, 0.0, 0, 0.0, 0.0, 362.0, 1.0, 0.0, 361.0, 4, 4.0, -4.0, 0.0, 1.0, 0.0, 0.0, 2, 3.0, 0.0, 0.0, 1.0, 0.0, 1.0, 3, 6.0, 0.0, 86.0, 1.0, 0.0, 85.0, 4, 5.0, -5.0, 0.0, 1.0, 0.0, 0.0, 1, 1.0, 0.0);
INSERT INTO ParamSpring ("Name", "Prutok", "Delta", "PHS", "PLS", "PHU", "PLU", "Prost", "Mode", "Mask1", "Mask2", "Do", "DoMul", "DoAdd", "DoMidd", "DoRt", "Do+", "Do-", "Di", "DiMul", "DiAdd", "DiMidd", "DiRt", "Di+", "Di-", "V", "VMul", "VAdd", "VMidd", "VRt", "V+", "V-", "R", "RMul", "RAdd", "RMidd", "RRt", "R+", "R-", "N", "NMul", "NAdd", "NMidd", "NRt", "N+", "N-", "S", "SMul", "SAdd", "SMidd", "SRt", "S+", "S-", "O", "OMul", "OAdd", "OMidd", "ORt", "O+", "O-")
  VALUES ('Пружина центрального подвешивания моторной тележки, внутренняя', 24.0, 0.3, 2100, 300, 21000, 3000, 0, 0, 0, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 118.0, 1.0, 0.0, 117.5, 3, 2.0, -2.0, 330.0, 1.0, 0.0, 329.0, 4, 4.0, -4.0, 0.0, 1.0, 0.0, 0.0, 2, 3.0, 0.0, 0.0, 1.0, 0.0, 1.0, 3, 6.0, 0.0, 84.0, 1.0, 0.0, 83.0, 4, 5.0, -5.0, 0.0, 1.0, 0.0, 0.0, 1, 1.0, 0.0);
INSERT INTO ParamSpring ("Name", "Prutok", "Delta", "PHS", "PLS", "PHU", "PLU", "Prost", "Mode", "Mask1", "Mask2", "Do", "DoMul", "DoAdd", "DoMidd", "DoRt", "Do+", "Do-", "Di", "DiMul", "DiAdd", "DiMidd", "DiRt", "Di+", "Di-", "V", "VMul", "VAdd", "VMidd", "VRt", "V+", "V-", "R", "RMul", "RAdd", "RMidd", "RRt", "R+", "R-", "N", "NMul", "NAdd", "NMidd", "NRt", "N+", "N-", "S", "SMul", "SAdd", "SMidd", "SRt", "S+", "S-", "O", "OMul", "OAdd", "OMidd", "ORt", "O+", "O-")
  VALUES ('Пружина буксового подвешивания моторной тележки', 30.0, 0.3, 3200, 400, 32000, 4000, 0, 0, 4, 0, 196.0, 1.0, 0.0, 195.5, 3, 2.5, -2.5, 0.0, 1.0, 0.0, 0.0, 0, 0.0, 0.0, 286.0, 1.0, 0.0, 285.0, 4, 3.0, -3.0, 0.0, 1.0, 0.0, 0.0, 0, 3.0, 0.0, 0.0, 1.0, 0.0, 1.0, 3, 5.0, 0.0, 62.0, 1.0, 0.0, 61.0, 4, 4.0, -4.0, 0.0, 1.0, 0.0, 0.0, 1, 1.0, 0.0);
INSERT INTO ParamSpring ("Name", "Prutok", "Delta", "PHS", "PLS", "PHU", "PLU", "Prost", "Mode", "Mask1", "Mask2", "Do", "DoMul", "DoAdd", "DoMidd", "DoRt", "Do+", "Do-", "Di", "DiMul", "DiAdd", "DiMidd", "DiRt", "Di+", "Di-", "V", "VMul", "VAdd", "VMidd", "VRt", "V+", "V-", "R", "RMul", "RAdd", "RMidd", "RRt", "R+", "R-", "N", "NMul", "NAdd", "NMidd", "NRt", "N+", "N-", "S", "SMul", "SAdd", "SMidd", "SRt", "S+", "S-", "O", "OMul", "OAdd", "OMidd", "ORt", "O+", "O-")
  VALUES ('Пружина центрального подвешивания прицепной тележки, наружная', 32.0, 0.3, 3400, 500, 34000, 5000, 0, 0, 0, 0, 232.0, 1.0, 0.0, 231.5, 3, 3.0, -3.0, 0.0, 1.0, 0.0, 0.0, 0, 0.0, 0.0, 348.0, 1.0, 0.0, 347.0, 4, 4.0, -4.0, 0.0, 1.0, 0.0, 0.0, 2, 3.0, 0.0, 0.0, 1.0, 0.0, 1.0, 3, 6.0, 0.0, 92.0, 1.0, 0.0, 91.0, 4, 5.0, -5.0, 0.0, 1.0, 0.0, 0.0, 1, 1.0, 0.0);
INSERT INTO ParamSpring ("Name", "Prutok", "Delta", "PHS", "PLS", "PHU", "PLU", "Prost", "Mode", "Mask1", "Mask2", "Do", "DoMul", "DoAdd", "DoMidd", "DoRt", "Do+", "Do-", "Di", "DiMul", "DiAdd", "DiMidd", "DiRt", "Di+", "Di-", "V", "VMul", "VAdd", "VMidd", "VRt", "V+", "V-", "R", "RMul", "RAdd", "RMidd", "RRt", "R+", "R-", "N", "NMul", "NAdd", "NMidd", "NRt", "N+", "N-", "S", "SMul", "SAdd", "SMidd", "SRt", "S+", "S-", "O", "OMul", "OAdd", "OMidd", "ORt", "O+", "O-")
  VALUES ('Пружина центрального подвешивания прицепной тележки, внутренняя', 20.0, 0.3, 1600, 250, 16000, 2500, 0, 0, 0, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 126.0, 1.0, 0.0, 125.5, 3, 2.0, -2.0, 318.0, 1.0, 0.0, 317.0, 4, 4.0, -4.0, 0.0, 1.0, 0.0, 0.0, 2, 3.0, 0.0, 0.0, 1.0, 0.0, 1.0, 3, 6.0, 0.0, 88.0, 1.0, 0.0, 87.0, 4, 5.0, -5.0, 0.0, 1.0, 0.0, 0.0, 1, 1.0, 0.0);
INSERT INTO ParamSpring ("Name", "Prutok", "Delta", "PHS", "PLS", "PHU", "PLU", "Prost", "Mode", "Mask1", "Mask2", "Do", "DoMul", "DoAdd", "DoMidd", "DoRt", "Do+", "Do-", "Di", "DiMul", "DiAdd", "DiMidd", "DiRt", "Di+", "Di-", "V", "VMul", "VAdd", "VMidd", "VRt", "V+", "V-", "R", "RMul", "RAdd", "RMidd", "RRt", "R+", "R-", "N", "NMul", "NAdd", "NMidd", "NRt", "N+", "N-", "S", "SMul", "SAdd", "SMidd", "SRt", "S+", "S-", "O", "OMul", "OAdd", "OMidd", "ORt", "O+", "O-")
  VALUES ('Пружина буксового подвешивания прицепной тележки', 28.0, 0.3, 2600, 350, 26000, 3500, 0, 0, 4, 0, 184.0, 1.0, 0.0, 183.5, 3, 2.5, -2.5, 0.0, 1.0, 0.0, 0.0, 0, 0.0, 0.0, 272.0, 1.0, 0.0, 271.0, 4, 3.0, -3.0, 0.0, 1.0, 0.0, 0.0, 0, 3.0, 0.0, 0.0, 1.0, 0.0, 1.0, 3, 5.0, 0.0, 58.0, 1.0, 0.0, 57.0, 4, 4.0, -4.0, 0.0, 1.0, 0.0, 0.0, 1, 1.0, 0.0);

INSERT INTO RateSpring (IDSpring, IDTel) VALUES (1, 1), (2, 1), (3, 1), (4, 2), (5, 2), (6, 2), (1, 3), (2, 3), (3, 3), (4, 4), (5, 4), (6, 4);

INSERT INTO ParamComp ("Name", "VpdMidt", "VpdAdd", "VpdMul", "Vpd+", "Vpd-", "PHS", "PHU", "PLS", "PLU", "1min", "1max", "2min", "2max", "3min", "3max", "Type", "NGR", "4min", "4max", "5min", "5max")
  VALUES ('Комплект центрального подвешивания моторной тележки', 262.0, 0.0, 1.0, 4.0, -4.0, 8400.0, 84000.0, 1200.0, 12000.0, 258.0, 260.6, 260.7, 263.3, 263.4, 266.0, 0, 3, 0.0, 0.0, 0.0, 0.0);
INSERT INTO ParamComp ("Name", "VpdMidt", "VpdAdd", "VpdMul", "Vpd+", "Vpd-", "PHS", "PHU", "PLS", "PLU", "1min", "1max", "2min", "2max", "3min", "3max", "Type", "NGR", "4min", "4max", "5min", "5max")
  VALUES ('Комплект центрального подвешивания прицепной тележки', 255.0, 0.0, 1.0, 4.5, -4.5, 6800.0, 68000.0, 1000.0, 10000.0, 250.5, 252.7, 252.8, 255.0, 255.1, 257.3, 0, 4, 257.4, 259.5, 0.0, 0.0);
INSERT INTO ParamComp ("Name", "VpdMidt", "VpdAdd", "VpdMul", "Vpd+", "Vpd-", "PHS", "PHU", "PLS", "PLU", "1min", "1max", "2min", "2max", "3min", "3max", "Type", "NGR", "4min", "4max", "5min", "5max")
  VALUES ('Комплект буксового подвешивания моторной тележки', 224.0, 0.0, 1.0, 3.0, -3.0, 6400.0, 64000.0, 800.0, 8000.0, 221.0, 222.1, 222.2, 223.3, 223.4, 224.5, 0, 5, 224.6, 225.7, 225.8, 227.0);
INSERT INTO ParamComp ("Name", "VpdMidt", "VpdAdd", "VpdMul", "Vpd+", "Vpd-", "PHS", "PHU", "PLS", "PLU", "1min", "1max", "2min", "2max", "3min", "3max", "Type", "NGR", "4min", "4max", "5min", "5max")
  VALUES ('Комплект буксового подвешивания прицепной тележки (по прогибу)', 62.0, 0.0, 1.0, 3.0, -3.0, 5200.0, 52000.0, 700.0, 7000.0, 59.0, 61.0, 61.1, 63.0, 63.1, 65.0, 1, 3, 0.0, 0.0, 0.0, 0.0);
INSERT INTO ParamComp ("Name", "VpdMidt", "VpdAdd", "VpdMul", "Vpd+", "Vpd-", "PHS", "PHU", "PLS", "PLU", "1min", "1max", "2min", "2max", "3min", "3max", "Type", "NGR", "4min", "4max", "5min", "5max")
  VALUES ('Комплект центрального подвешивания ЭП2Д (по разности высот)', 262.0, 0.0, 1.0, 4.0, -4.0, 8400.0, 84000.0, 1200.0, 12000.0, 49.0, 52.9, 53.0, 56.9, 57.0, 60.9, 2, 4, 61.0, 64.0, 0.0, 0.0);
COMMIT;
