-- The manager database as version 1 installed it. Dates are ISO text (YYYY-MM-DD); yes/no is 0/1.
-- Never change this file: installation runs it and then every step of store/sqlite/SqliteSchema.cpp,
-- so that a new database and a migrated one are the same.
CREATE TABLE MGRWorkstations (
  WorkstationID INTEGER PRIMARY KEY AUTOINCREMENT,
  Name TEXT,
  Monitored INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE MGRUsers (
  UserNameID INTEGER PRIMARY KEY AUTOINCREMENT,
  UserName TEXT
);
CREATE TABLE MGRAppTitles (
  AppTitleID INTEGER PRIMARY KEY AUTOINCREMENT,
  AppTitle TEXT
);
-- Seconds of use per workstation, user, window title and day.
CREATE TABLE MGRDaySummary (
  UserNameKey INTEGER NOT NULL,
  AppTitleKey INTEGER NOT NULL,
  WorkstationKey INTEGER NOT NULL,
  Duration INTEGER NOT NULL,
  Date TEXT NOT NULL
);
-- Newest day of one workstation (download).
CREATE INDEX MGRDaySummary_WorkstationDate ON MGRDaySummary (WorkstationKey, Date);
-- Day ranges (reports, export, the list of days); covers the columns those queries read.
CREATE INDEX MGRDaySummary_Date ON MGRDaySummary (Date, AppTitleKey, UserNameKey, WorkstationKey, Duration);
-- Rows of the report being built; Duration in minutes after extraction.
CREATE TABLE MGRDaySummaryTmp (
  Workstation TEXT,
  Duration REAL,
  Date TEXT,
  UserName TEXT,
  AppTitle TEXT
);
CREATE TABLE MGRGroupings (
  Alias TEXT,
  Rank INTEGER
);
CREATE TABLE MGRGroupingsData (
  AliasKey TEXT,
  WindowTitle TEXT
);
CREATE INDEX MGRGroupingsData_AliasKey ON MGRGroupingsData (AliasKey);
INSERT INTO MGRGroupings (Alias, Rank) VALUES ('Desktop', 0);
PRAGMA user_version = 1;
