-- The workstation's tables, columns in the order readers address them by number.
-- Text columns compare without regard to case; dates are 'yyyy-MM-dd' text.

CREATE TABLE reports (
  ctid            INTEGER PRIMARY KEY AUTOINCREMENT,  -- 0
  brname          TEXT COLLATE NOCASE,                -- 1 patient name
  sex             TEXT COLLATE NOCASE,                -- 2
  age             NUMERIC,                            -- 3
  ageunit         TEXT COLLATE NOCASE,                -- 4
  bedid           TEXT COLLATE NOCASE,                -- 5 contact
  sectionoffice   TEXT COLLATE NOCASE,                -- 6 requesting section
  utpatientid     TEXT COLLATE NOCASE,                -- 7 requesting physician
  inpatientid     TEXT COLLATE NOCASE,                -- 8 in-patient number
  pgdate          TEXT COLLATE NOCASE,                -- 9 examination date
  rpdate          TEXT COLLATE NOCASE NOT NULL,       -- 10 report date
  pgdr            TEXT COLLATE NOCASE,                -- 11 reviewing doctor
  rpdr            TEXT COLLATE NOCASE,                -- 12 reporting doctor
  facility        TEXT COLLATE NOCASE,                -- 13 equipment
  times           NUMERIC,                            -- 14 fee
  part            TEXT COLLATE NOCASE,                -- 15 body part
  checktechnique  TEXT COLLATE NOCASE,                -- 16 result
  checkname       TEXT COLLATE NOCASE,                -- 17 examination name
  checksymptom    TEXT COLLATE NOCASE,                -- 18 findings
  checkconclusion TEXT COLLATE NOCASE,                -- 19 diagnosis
  obligate1       NUMERIC,                            -- 20 examination count
  obligate2       TEXT COLLATE NOCASE,                -- 21 bed number
  obligate3       TEXT COLLATE NOCASE,                -- 22 out-patient number
  obligate4       TEXT COLLATE NOCASE,                -- 23 allergy test
  obligate5       TEXT COLLATE NOCASE,                -- 24 examination number
  obligate6       TEXT COLLATE NOCASE,                -- 25 unused
  obligate7       TEXT COLLATE NOCASE,                -- 26 unused
  obligate8       TEXT COLLATE NOCASE,                -- 27 unused
  obligate9       TEXT COLLATE NOCASE,                -- 28 unused
  picture1        BLOB,                               -- 29
  picture2        BLOB,                               -- 30
  picture3        BLOB,                               -- 31
  picture4        BLOB                                -- 32
);
CREATE INDEX reports_rpdate ON reports(rpdate);
CREATE INDEX reports_pgdate ON reports(pgdate);
CREATE INDEX reports_obligate5 ON reports(obligate5);
CREATE INDEX reports_brname ON reports(brname);
CREATE INDEX reports_inpatientid ON reports(inpatientid);
CREATE INDEX reports_obligate3 ON reports(obligate3);
-- Every column the report query compares, so that its conditions are decided
-- from this index alone and only the rows found are read.
CREATE INDEX reports_find ON reports(pgdate, brname, sex, age, sectionoffice, part, rpdr, checkname,
                                     inpatientid, obligate3, obligate5, checkconclusion, checksymptom);
-- The workload statistics read only these columns of a date range, so they are
-- answered from this index without reading a report's row.
CREATE INDEX reports_stats ON reports(rpdate, obligate5, brname, times, utpatientid, rpdr, sectionoffice);

CREATE TABLE Study (
  StudyID      INTEGER PRIMARY KEY AUTOINCREMENT,
  StudyUID     TEXT COLLATE NOCASE,
  PatientID    TEXT COLLATE NOCASE,
  PatientName  TEXT COLLATE NOCASE,
  StudyDate    TEXT COLLATE NOCASE,
  Modality     TEXT COLLATE NOCASE,
  Status       TEXT COLLATE NOCASE
);
CREATE INDEX Study_Status ON Study(Status);

CREATE TABLE user (
  userid       TEXT COLLATE NOCASE PRIMARY KEY,
  username     TEXT COLLATE NOCASE,
  userpassword TEXT,
  qx1 INTEGER, qx2 INTEGER, qx3 INTEGER, qx4 INTEGER,
  qx5 INTEGER, qx6 INTEGER, qx7 INTEGER, qx8 INTEGER
);

CREATE TABLE section (
  ksid   TEXT COLLATE NOCASE PRIMARY KEY,
  ksname TEXT COLLATE NOCASE
);

CREATE TABLE doctor (
  dcid   TEXT COLLATE NOCASE PRIMARY KEY,
  dcname TEXT COLLATE NOCASE,
  ksid   TEXT COLLATE NOCASE
);

CREATE TABLE zymc (
  id   INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT COLLATE NOCASE,
  fl   TEXT COLLATE NOCASE
);

CREATE TABLE bgxm (
  xmid TEXT COLLATE NOCASE PRIMARY KEY,
  xmmc TEXT COLLATE NOCASE,
  xmlx TEXT COLLATE NOCASE
);

CREATE TABLE bodypart (
  partid   INTEGER PRIMARY KEY AUTOINCREMENT,
  partname TEXT COLLATE NOCASE
);

CREATE TABLE assortpart (
  assortid   INTEGER PRIMARY KEY AUTOINCREMENT,
  assortname TEXT COLLATE NOCASE,
  partid     INTEGER
);

CREATE TABLE templet (
  mbid            INTEGER PRIMARY KEY AUTOINCREMENT,
  assortid        INTEGER,
  partid          INTEGER,
  mbmc            TEXT COLLATE NOCASE,
  checkname       TEXT COLLATE NOCASE,
  checksymptom    TEXT COLLATE NOCASE,
  checkconclusion TEXT COLLATE NOCASE,
  bz1             TEXT COLLATE NOCASE,
  bz2             TEXT COLLATE NOCASE
);

CREATE TABLE cyms (
  flid  INTEGER,
  row   INTEGER,
  col   INTEGER,
  txtms TEXT COLLATE NOCASE,
  PRIMARY KEY (flid, row, col)
);

CREATE TABLE DCMConvertCS (
  CSname TEXT COLLATE NOCASE PRIMARY KEY,
  CSid   INTEGER
);

-- Seed rows ---------------------------------------------------------------

INSERT INTO user VALUES ('admin', '系统管理员', NULL, 1, 1, 1, 1, 1, 1, 1, 1);

INSERT INTO bgxm VALUES
  ('01', '检查号',   '文本'),
  ('02', '病人姓名', '文本'),
  ('03', '性别',     '文本'),
  ('04', '年龄',     '数字'),
  ('05', '联系方式', '文本'),
  ('06', '科室',     '文本'),
  ('07', '申请医师', '文本'),
  ('08', '床号',     '文本'),
  ('09', '住院号',   '文本'),
  ('10', '门诊号',   '文本'),
  ('11', '检查日期', '日期'),
  ('12', '检查次数', '数字'),
  ('13', '报告医师', '文本'),
  ('14', '复核医师', '文本'),
  ('15', '收费金额', '数字'),
  ('16', '过敏试验', '文本'),
  ('17', '检查部位', '文本'),
  ('18', '结果',     '文本'),
  ('19', '检查所见', '备注'),
  ('20', '诊断意见', '备注'),
  ('21', '检查名称', '文本'),
  ('22', '设备名称', '文本'),
  ('23', '报告日期', '日期');

INSERT INTO DCMConvertCS VALUES ('studyid', 0), ('seriesid', 0);

-- One stock-description cell per grid cell of each of the eight categories.
WITH RECURSIVE
  f(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM f WHERE n < 8),
  r(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM r WHERE n < 9),
  c(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM c WHERE n < 3)
INSERT INTO cyms (flid, row, col, txtms) SELECT f.n, r.n, c.n, NULL FROM f, r, c;
